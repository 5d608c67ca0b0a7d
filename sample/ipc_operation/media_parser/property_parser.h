// The device properties the cloud reads and sets, held for the life of the process.
#pragma once

#include <functional>
#include <string>

class PropertyParser {
public:
    using Handler = std::function<void(const std::string& key, const std::string& value)>;

    static void SetHandler(Handler handler);
    // Reports every property in key order.
    static void GetAllProperty();
    // Stores the value when the key is known; reports (key, value) either way.
    static void SetProperty(const std::string& key, const std::string& value);
};
