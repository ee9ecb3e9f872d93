// UTF-8 <-> UTF-16 conversions shared by the file module and the start-up context.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "common/text.h"

namespace drumlo {

// Lenient UTF-8 decoding: each maximal subpart of a malformed sequence becomes one U+FFFD,
// NUL bytes stay, four-byte sequences become surrogate pairs. A byte-order mark is kept.
[[nodiscard]] Text DecodeUtf8(std::span<const std::uint8_t> bytes);
// DecodeUtf8 into `text`, which is emptied and reserved at the largest possible length first,
// so that its storage stays put while it grows. `progress`, when given, is told the length
// decoded so far now and then (whole characters only); another thread may then read that much.
void DecodeUtf8Into(std::span<const std::uint8_t> bytes, Text& text,
                    const std::function<void(std::size_t)>& progress);
// The bytes without a leading UTF-8 byte-order mark (EF BB BF).
[[nodiscard]] std::span<const std::uint8_t> WithoutUtf8Mark(std::span<const std::uint8_t> bytes);
// UTF-8 bytes of a text; an unpaired surrogate becomes the bytes of U+FFFD (EF BF BD).
[[nodiscard]] std::string EncodeUtf8(TextView text);

}  // namespace drumlo
