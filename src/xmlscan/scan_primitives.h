// Character classes and the small text functions the XML scanner is built on.
// Positions are 1-based; 0 means none. Comparisons are exact, code unit by code unit.
#pragma once

#include <array>
#include <cstdint>

#include "common/text.h"

namespace drumlo {

enum : std::int32_t { kOtherChar = 0, kNameChar = 1, kWhiteSpace = 2 };

namespace internal {
// The class of every code unit, looked up inline by the scanner's inner loops.
extern const std::array<std::uint8_t, 0x10000> kUnitClasses;
}  // namespace internal

// 2 for white space, 1 for a name character, 0 for anything else.
[[nodiscard]] inline std::int32_t CharClass(char16_t unit) {
  return internal::kUnitClasses[unit];
}

[[nodiscard]] inline bool IsWhite(char16_t unit) {
  return CharClass(unit) == kWhiteSpace;
}

// Position of the first `target` at or after `start` that lies outside apostrophe and
// double-quote pairs (quoting state starts clear at `start`), or 0. `start` below 1 gives 0.
[[nodiscard]] Position FindUnquoted(Position start, TextView text, char16_t target);

// The text with every tag ("<" up to the first unquoted ">") removed. An unclosed tag and
// everything after it are kept as they are.
[[nodiscard]] Text StripTags(TextView text);

// The text without leading and trailing white space (class 2); a view into `text`.
[[nodiscard]] TextView TrimWhite(TextView text);

// Replaces "&nbsp;", "&lt;", "&gt;", "&apos;", "&quot;", "&amp;" in that order, each only when
// its character (space, <, >, ', ", &) occurs in `selection`.
[[nodiscard]] Text DecodeEntities(TextView text, TextView selection);

}  // namespace drumlo
