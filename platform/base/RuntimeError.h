// A run-time error: raised by the program's logic or the form runtime, reported by the form runtime in
// a message box ("実行時エラー 'n': ..."), after which the program ends.
#pragma once

#include <string>

namespace platform {

struct RuntimeErrorException {
    int number;
    std::wstring description;
};

// The runtime's error numbers that this program can raise.
constexpr int kOverflowError = 6;
constexpr int kOutOfMemoryError = 7;
constexpr int kSubscriptOutOfRangeError = 9;

}  // namespace platform
