// Reads an enumeration field that a C caller may have filled with any int, without loading an
// out-of-range enumerator value (undefined in C++).
#pragma once

#include <cstring>
#include <type_traits>

template <typename Enum>
int RawEnum(const Enum& value) {
    std::underlying_type_t<Enum> raw;
    std::memcpy(&raw, &value, sizeof raw);
    return static_cast<int>(raw);
}

template <typename Enum>
void SetRawEnum(Enum* field, int raw_value) {
    std::underlying_type_t<Enum> raw = static_cast<std::underlying_type_t<Enum>>(raw_value);
    std::memcpy(field, &raw, sizeof raw);
}
