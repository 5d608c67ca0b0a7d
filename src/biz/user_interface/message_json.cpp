#include "biz/user_interface/message_json.h"

#include <cstring>

std::string PrintJson(const cJSON* item) {
    char* printed = cJSON_PrintUnformatted(item);
    if (printed == nullptr) return std::string();
    std::string text(printed);
    cJSON_free(printed);
    return text;
}

bool IsJsonValue(const std::string& text) {
    // An embedded NUL would end the text early for every C reader of it.
    if (strlen(text.c_str()) != text.size()) return false;
    CJsonPtr parsed(cJSON_ParseWithOpts(text.c_str(), nullptr, true));
    return parsed != nullptr;
}
