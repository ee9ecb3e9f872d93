// Shared text types: every text in the tool is a sequence of UTF-16 code units.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace drumlo {

using Text = std::u16string;
using TextView = std::u16string_view;

// A 1-based index into a text; 0 means "none" or "not found".
using Position = std::int32_t;

// Texts longer than this cannot be addressed by a Position.
inline constexpr std::size_t kMaxPositionalLength = 2147483647u;

// The value of an ASCII digit in the given radix (up to 16, either case), or -1.
[[nodiscard]] constexpr int DigitValue(char32_t unit, int radix) {
  int digit = 99;
  if (unit >= u'0' && unit <= u'9') digit = static_cast<int>(unit - u'0');
  if (unit >= u'A' && unit <= u'F') digit = static_cast<int>(unit - u'A') + 10;
  if (unit >= u'a' && unit <= u'f') digit = static_cast<int>(unit - u'a') + 10;
  return digit < radix ? digit : -1;
}

}  // namespace drumlo
