// Float to integer conversion of the 3D pipeline: truncation toward zero.
#pragma once
#include <cstdint>

namespace vantrose {

// Truncates toward zero. A value with no int32 truncation (NaN, infinite, or beyond the int32
// range) gives INT32_MIN, the "integer indefinite" a hardware conversion produces, instead of
// undefined behaviour.
inline bool has_int32_trunc(double value) {
    return value > -2147483649.0 && value < 2147483648.0;
}
inline int32_t trunc_to_int32(double value) {
    return has_int32_trunc(value) ? static_cast<int32_t>(value) : INT32_MIN;
}

} // namespace vantrose
