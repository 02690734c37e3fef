// Numeric conversions with the runtime's rounding and overflow rules.
#include "platform/Numeric.h"

#include <cmath>
#include <limits>

namespace platform {

void RaiseOverflow() {
    throw RuntimeErrorException{kOverflowError, L"オーバーフローしました。"};
}

namespace {

template <typename T>
T RoundChecked(double value) {
    if (!std::isfinite(value))
        RaiseOverflow();
    double r = std::nearbyint(value);  // the default rounding mode: ties to even
    if (r < double(std::numeric_limits<T>::min()) || r > double(std::numeric_limits<T>::max()))
        RaiseOverflow();
    return T(r);
}

}  // namespace

std::int16_t RoundToInt16(double value) {
    return RoundChecked<std::int16_t>(value);
}

std::int32_t RoundToInt32(double value) {
    return RoundChecked<std::int32_t>(value);
}

std::int16_t SubtractInt16(std::int16_t a, std::int16_t b) {
    int r = int(a) - int(b);
    if (r < std::numeric_limits<std::int16_t>::min() || r > std::numeric_limits<std::int16_t>::max())
        RaiseOverflow();
    return std::int16_t(r);
}

std::int32_t AddInt32(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_add_overflow(a, b, &r))
        RaiseOverflow();
    return r;
}

}  // namespace platform
