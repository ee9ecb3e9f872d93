// UTF-8 <-> UTF-16 conversions shared by the file module and the start-up context.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/text.h"

namespace drumlo {

// Lenient UTF-8 decoding: each maximal subpart of a malformed sequence becomes one U+FFFD,
// NUL bytes stay, four-byte sequences become surrogate pairs. A byte-order mark is kept.
[[nodiscard]] Text DecodeUtf8(std::span<const std::uint8_t> bytes);
// DecodeUtf8 onto the end of `text`.
void AppendUtf8Decoded(std::span<const std::uint8_t> bytes, Text& text);
// Decodes UTF-8 that arrives in pieces onto the end of a text, with the text Utf8ToText gives
// for the whole: a leading byte-order mark skipped, a sequence cut between two pieces kept
// whole (its bytes wait for the next piece).
class Utf8PieceDecoder {
 public:
  void Add(std::span<const std::uint8_t> piece, Text& out);
  // Decodes what is still held back; call once after the last piece.
  void Finish(Text& out);

 private:
  void AddAfterStart(std::span<const std::uint8_t> piece, Text& out);

  std::vector<std::uint8_t> pending_;
  bool at_start_ = true;
};

// UTF-8 bytes of a text; an unpaired surrogate becomes the bytes of U+FFFD (EF BF BD).
[[nodiscard]] std::string EncodeUtf8(TextView text);

}  // namespace drumlo
