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
// Decodes UTF-8 that arrives in pieces into one text, with the text Utf8ToText gives for the
// whole: a leading byte-order mark skipped, a sequence cut between two pieces kept whole. The
// units go straight to `out`, which must hold as many units as the pieces have bytes (no byte
// gives more than one unit); units written stay where they are.
class Utf8PieceDecoder {
 public:
  Utf8PieceDecoder(char16_t* out, std::size_t capacity) : out_(out), capacity_(capacity) {}
  void Add(std::span<const std::uint8_t> piece);
  // Decodes what is still held back; call once after the last piece.
  void Finish();
  // Units written so far.
  [[nodiscard]] std::size_t Size() const { return size_; }

 private:
  void AddAfterStart(std::span<const std::uint8_t> piece);
  void Decode(std::span<const std::uint8_t> bytes);

  char16_t* out_;
  std::size_t capacity_;
  std::size_t size_ = 0;
  std::vector<std::uint8_t> pending_;
  bool at_start_ = true;
};

// UTF-8 bytes of a text; an unpaired surrogate becomes the bytes of U+FFFD (EF BF BD).
[[nodiscard]] std::string EncodeUtf8(TextView text);

}  // namespace drumlo
