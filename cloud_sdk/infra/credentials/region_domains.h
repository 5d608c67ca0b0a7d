// The cloud's endpoints for each fixed region.
#pragma once

namespace tessera {

struct RegionDomains {
    const char* mqtt;  // the device's host is product key + "." + this
    const char* http;  // dynamic registration
};

// The domains of a fixed region (0 to 4), or null for the custom region and anything else.
const RegionDomains* FixedRegionDomains(int region);

}  // namespace tessera
