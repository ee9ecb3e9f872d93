// Bytes decoded piece by piece must give the text of decoding them whole, wherever the cuts
// fall: inside a sequence, inside the byte-order mark, in runs without any ASCII byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "fileio/file_access.h"
#include "fileio/utf8.h"

namespace drumlo {
namespace {

Bytes RandomBytes(std::mt19937& rng) {
  static const std::vector<Bytes> kPieces = {
      {'a'},
      {'<', 'R', '>'},
      {0xC3, 0xA9},
      {0xE6, 0xAD, 0x8C},
      {0xF0, 0x9F, 0x8E, 0xB5},
      {0xEF, 0xBB, 0xBF},
      {0x80},
      {0xE6, 0xAD},
      {0xF0, 0x9F},
      {0xFF},
      {0xC0, 0xAF},
      {0xED, 0xA0, 0x80},
      {0x00},
  };
  Bytes bytes;
  if (rng() % 3 == 0) bytes = {0xEF, 0xBB, 0xBF};
  const std::size_t count = rng() % 60;
  const bool without_ascii = rng() % 4 == 0;
  for (std::size_t k = 0; k < count; ++k) {
    const Bytes& piece = kPieces[rng() % kPieces.size()];
    if (without_ascii && piece.front() < 0x80) continue;
    bytes.insert(bytes.end(), piece.begin(), piece.end());
  }
  return bytes;
}

// Decoded onto the end of a text that already holds something, which must stay.
Text DecodeInPieces(const Bytes& bytes, std::mt19937& rng, std::size_t longest_piece = 7) {
  const Text kBefore = u"\uABCD";
  Text out = kBefore;
  Utf8PieceDecoder decoder;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = std::min<std::size_t>(bytes.size() - at, 1 + rng() % longest_piece);
    decoder.Add(std::span(bytes.data() + at, length), out);
    at += length;
  }
  decoder.Finish(out);
  EXPECT_EQ(out.substr(0, kBefore.size()), kBefore);
  return out.substr(kBefore.size());
}

TEST(Utf8PieceDecoderTest, PiecesDecodeAsTheWhole) {
  std::mt19937 rng(404);
  for (int round = 0; round < 20000 && !HasFailure(); ++round) {
    const Bytes bytes = RandomBytes(rng);
    ASSERT_EQ(DecodeInPieces(bytes, rng), Utf8ToText(bytes)) << "round " << round;
  }
}

TEST(Utf8PieceDecoderTest, LongPiecesDecodeAsTheWhole) {
  std::mt19937 rng(77);
  for (int round = 0; round < 300 && !HasFailure(); ++round) {
    Bytes bytes;
    for (int part = 0; part < 40; ++part) {
      const Bytes more = RandomBytes(rng);
      bytes.insert(bytes.end(), more.begin(), more.end());
      bytes.insert(bytes.end(), rng() % 64, static_cast<std::uint8_t>('a' + part % 26));
    }
    ASSERT_EQ(DecodeInPieces(bytes, rng, 4096), Utf8ToText(bytes)) << "round " << round;
  }
}

TEST(Utf8PieceDecoderTest, ShortAndEmptyInputs) {
  const std::vector<Bytes> cases = {
      {}, {0xEF}, {0xEF, 0xBB}, {0xEF, 0xBB, 0xBF}, {0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}, {'x'},
  };
  std::mt19937 rng(5);
  for (const Bytes& bytes : cases) {
    EXPECT_EQ(DecodeInPieces(bytes, rng), Utf8ToText(bytes));
  }
}

}  // namespace
}  // namespace drumlo
