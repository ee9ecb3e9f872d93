// UTF-8 <-> UTF-16 conversions shared by the file module and the start-up context.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/text.h"

namespace drumlo {

// Lenient UTF-8 decoding: each maximal subpart of a malformed sequence becomes one U+FFFD,
// NUL bytes stay, four-byte sequences become surrogate pairs. A byte-order mark is kept.
[[nodiscard]] Text DecodeUtf8(std::span<const std::uint8_t> bytes);
// UTF-8 bytes of a text; an unpaired surrogate becomes the bytes of U+FFFD (EF BF BD).
[[nodiscard]] std::string EncodeUtf8(TextView text);

}  // namespace drumlo
