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

}  // namespace drumlo
