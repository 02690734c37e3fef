// Numeric conversions with the runtime's rules: rounding to the nearest integer with ties to even,
// and an overflow run-time error when a result leaves its type's range.
#pragma once

#include <cstdint>

#include "platform/base/RuntimeError.h"

namespace platform {

[[noreturn]] void RaiseOverflow();

std::int16_t RoundToInt16(double value);
std::int32_t RoundToInt32(double value);
std::int16_t SubtractInt16(std::int16_t a, std::int16_t b);
std::int32_t AddInt32(std::int32_t a, std::int32_t b);

}  // namespace platform
