// Parses arbitrary URLs and builds every signed form from them; also splits them as STUN addresses.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/requestParse.h"
#include "utils/logger.h"

namespace {

void Quiet(int, const char*, int, const char*, ...) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    logger_set_user_define(Quiet);
    // The first byte splits the input into URL and device secret.
    if (size < 1) return 0;
    const size_t secret_length = data[0] % 64 < size - 1 ? data[0] % 64 : size - 1;
    const std::string secret(reinterpret_cast<const char*>(data + 1), secret_length);
    const std::string text(reinterpret_cast<const char*>(data + 1 + secret_length), size - 1 - secret_length);

    UrlParse url;
    if (url.Parse(text, "pk", "dev", secret) == 0) {
        const std::string live = url.CalculateRtmpLiveUrl();
        const std::string vod = url.CalculateRtmpVodUrl();
        const std::string sign = url.CalculateVoiceIntercomSign();
        if (sign.size() != 0 && sign.size() != 64) abort();
        if (live.compare(0, url.GetProtocol().size(), url.GetProtocol()) != 0) abort();
        if (vod.find("&session=") == std::string::npos) abort();
    }
    if (url.GetUrl() != text) abort();

    std::string ip;
    std::string key;
    int port = 0;
    if (ParseStunUrl(text, ip, port, key) == 0 && (port < 0 || ip.size() >= text.size())) abort();
    return 0;
}
