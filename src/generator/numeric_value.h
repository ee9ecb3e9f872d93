// The numeric value of a text and its rounding to the integer types the song values use.
#pragma once

#include <cstdint>
#include <optional>

#include "common/text.h"

namespace drumlo {

// The number a text begins with, 0 when it begins with none. Spaces, tabs and line feeds are
// skipped wherever they stand (also between digits); then an optional sign, digits with at most
// one "." and an optional exponent (E or D, either case). "&H" / "&O" (either case) read a
// hexadecimal or octal integer instead.
[[nodiscard]] double NumericValue(TextView text);
// The same number, or nothing when the text begins with none.
[[nodiscard]] std::optional<double> LeadingNumber(TextView text);

// Nearest integer, halves to even; nullopt when the result does not fit (also for inf and NaN).
[[nodiscard]] std::optional<std::int32_t> RoundToInt32(double value);
[[nodiscard]] std::optional<std::uint8_t> RoundToByte(double value);

}  // namespace drumlo
