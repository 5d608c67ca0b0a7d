// Small cJSON helpers for the texts the messaging services build.
#pragma once

#include <cjson/cJSON.h>

#include <memory>
#include <string>

struct CJsonDeleter {
    void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using CJsonPtr = std::unique_ptr<cJSON, CJsonDeleter>;

// The item as compact JSON text; empty when cJSON runs out of memory.
std::string PrintJson(const cJSON* item);
// Whether text is exactly one JSON value.
bool IsJsonValue(const std::string& text);
