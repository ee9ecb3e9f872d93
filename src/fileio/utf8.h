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
// Decodes UTF-8 that arrives in pieces into one text, with the text Utf8ToText gives for the
// whole: a leading byte-order mark skipped, a sequence cut between two pieces kept whole.
class Utf8PieceDecoder {
 public:
  // `text` is emptied and reserved for `max_bytes` bytes of input, so its storage stays put
  // while it grows (no byte gives more than one unit).
  Utf8PieceDecoder(Text& text, std::size_t max_bytes);
  void Add(std::span<const std::uint8_t> piece);
  // Decodes what is still held back; call once after the last piece.
  void Finish();

 private:
  void AddAfterStart(std::span<const std::uint8_t> piece);

  Text& text_;
  std::vector<std::uint8_t> pending_;
  bool at_start_ = true;
};

// UTF-8 bytes of a text; an unpaired surrogate becomes the bytes of U+FFFD (EF BF BD).
[[nodiscard]] std::string EncodeUtf8(TextView text);

}  // namespace drumlo
