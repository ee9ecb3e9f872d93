// UTF-16 text is taken unit by unit: nothing in it is validated or replaced, so that a
// workbook saved as UTF-16 reads exactly as its UTF-8 form, whatever it holds.
#include "fileio/utf16.h"

#include <cstdlib>

namespace drumlo {
namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr char16_t kReplacement = 0xFFFD;

}  // namespace

Text Utf16ToText(std::span<const std::uint8_t> bytes, ByteOrder order) {
  Text text((bytes.size() + 1) / 2, u'\0');
  Utf16PieceDecoder decoder(text.data(), text.size(), order);
  decoder.Add(bytes);
  decoder.Finish();
  text.resize(decoder.Size());
  return text;
}

char16_t Utf16PieceDecoder::Unit(std::uint8_t first, std::uint8_t second) const {
  const auto low = order_ == ByteOrder::kLittle ? first : second;
  const auto high = order_ == ByteOrder::kLittle ? second : first;
  return static_cast<char16_t>(low | (high << 8));
}

void Utf16PieceDecoder::Put(char16_t unit) {
  if (at_start_) {
    at_start_ = false;
    if (unit == kByteOrderMark) return;
  }
  if (size_ == capacity_) std::abort();  // the caller gave less room than the bytes need
  out_[size_++] = unit;
}

void Utf16PieceDecoder::Add(std::span<const std::uint8_t> piece) {
  std::size_t at = 0;
  if (holding_ && !piece.empty()) {
    Put(Unit(held_, piece[0]));
    holding_ = false;
    at = 1;
  }
  if (at + 1 < piece.size() && at_start_) {
    Put(Unit(piece[at], piece[at + 1]));
    at += 2;
  }
  const std::size_t pairs = (piece.size() - at) / 2;
  if (pairs > capacity_ - size_) std::abort();
  const std::uint8_t* in = piece.data() + at;
  char16_t* out = out_ + size_;
  for (std::size_t k = 0; k < pairs; ++k, in += 2)
    out[k] = Unit(in[0], in[1]);
  size_ += pairs;
  at += 2 * pairs;
  if (at < piece.size()) {
    held_ = piece[at];
    holding_ = true;
  }
}

void Utf16PieceDecoder::Finish() {
  if (holding_) Put(kReplacement);
  holding_ = false;
}

}  // namespace drumlo
