// UTF-16 text is taken unit by unit: nothing in it is validated or replaced, so that a
// workbook saved as UTF-16 reads exactly as its UTF-8 form, whatever it holds.
#include "fileio/utf16.h"

#include <algorithm>

namespace drumlo {
namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr char16_t kReplacement = 0xFFFD;

}  // namespace

Text Utf16ToText(std::span<const std::uint8_t> bytes, ByteOrder order) {
  Text text;
  text.reserve((bytes.size() + 1) / 2);
  Utf16PieceDecoder decoder(order);
  decoder.Add(bytes, text);
  decoder.Finish(text);
  return text;
}

char16_t Utf16PieceDecoder::Unit(std::uint8_t first, std::uint8_t second) const {
  const auto low = order_ == ByteOrder::kLittle ? first : second;
  const auto high = order_ == ByteOrder::kLittle ? second : first;
  return static_cast<char16_t>(low | (high << 8));
}

void Utf16PieceDecoder::Put(char16_t unit, Text& out) {
  if (at_start_) {
    at_start_ = false;
    if (unit == kByteOrderMark) return;
  }
  out.push_back(unit);
}

void Utf16PieceDecoder::Add(std::span<const std::uint8_t> piece, Text& out) {
  std::size_t at = 0;
  if (holding_ && !piece.empty()) {
    Put(Unit(held_, piece[0]), out);
    holding_ = false;
    at = 1;
  }
  if (at + 1 < piece.size() && at_start_) {
    Put(Unit(piece[at], piece[at + 1]), out);
    at += 2;
  }
  const std::size_t pairs = (piece.size() - at) / 2;
  // The room grows by at least half again, so that a text of many pieces is not moved for each.
  const std::size_t needed = out.size() + pairs;
  if (out.capacity() < needed) out.reserve(std::max(needed, out.capacity() + out.capacity() / 2));
  const std::uint8_t* in = piece.data() + at;
  for (std::size_t k = 0; k < pairs; ++k, in += 2)
    out.push_back(Unit(in[0], in[1]));
  at += 2 * pairs;
  if (at < piece.size()) {
    held_ = piece[at];
    holding_ = true;
  }
}

void Utf16PieceDecoder::Finish(Text& out) {
  if (holding_) Put(kReplacement, out);
  holding_ = false;
}

}  // namespace drumlo
