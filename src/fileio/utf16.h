// Decoding of workbooks saved as UTF-16 text, whole or piece by piece.
#pragma once

#include <cstdint>
#include <span>

#include "common/text.h"

namespace drumlo {

enum class ByteOrder : std::uint8_t { kLittle, kBig };

// The code units of UTF-16 bytes with one leading U+FEFF removed, as Utf8ToText removes one.
// Every unit is kept as it is, unpaired surrogates and U+0000 included; an odd last byte
// becomes U+FFFD.
[[nodiscard]] Text Utf16ToText(std::span<const std::uint8_t> bytes, ByteOrder order);

// Decodes UTF-16 that arrives in pieces onto the end of a text, with the text Utf16ToText gives
// for the whole: a unit cut between two pieces is kept whole.
class Utf16PieceDecoder {
 public:
  explicit Utf16PieceDecoder(ByteOrder order) : order_(order) {}
  void Add(std::span<const std::uint8_t> piece, Text& out);
  // Decodes what is still held back; call once after the last piece.
  void Finish(Text& out);

 private:
  void Put(char16_t unit, Text& out);
  [[nodiscard]] char16_t Unit(std::uint8_t first, std::uint8_t second) const;

  ByteOrder order_;
  std::uint8_t held_ = 0;  // the first byte of a unit cut between pieces
  bool holding_ = false;
  bool at_start_ = true;
};

}  // namespace drumlo
