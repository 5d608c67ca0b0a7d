// The integer a C caller stored in an enumeration-typed value.
#pragma once

#include <cstring>
#include <type_traits>

// A C caller may store any int in an enumeration of the public interface, while in C++ a value outside
// the enumerators' range must not even be loaded as the enumeration. Read its bytes instead.
template <typename Enum>
int RawEnum(const Enum& value) {
    static_assert(std::is_enum<Enum>::value && sizeof(Enum) == sizeof(int), "a 32-bit enumeration");
    int raw;
    memcpy(&raw, &value, sizeof(raw));
    return raw;
}
