// The fast decoder against a plain one: random byte strings, mostly valid UTF-8 with injected
// faults, must decode to the same text. The plain decoder follows the table of well-formed
// byte sequences literally and takes the longest matching prefix at each position.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fileio/file_access.h"
#include "fileio/utf8.h"
#include "temp_dir.h"

namespace drumlo {
namespace {

// One row of the well-formed sequences table: the allowed range of each byte.
struct WellFormed {
  std::size_t length;
  std::uint8_t low[4];
  std::uint8_t high[4];
};

constexpr WellFormed kWellFormed[] = {
    {1, {0x00}, {0x7F}},
    {2, {0xC2, 0x80}, {0xDF, 0xBF}},
    {3, {0xE0, 0xA0, 0x80}, {0xE0, 0xBF, 0xBF}},
    {3, {0xE1, 0x80, 0x80}, {0xEC, 0xBF, 0xBF}},
    {3, {0xED, 0x80, 0x80}, {0xED, 0x9F, 0xBF}},
    {3, {0xEE, 0x80, 0x80}, {0xEF, 0xBF, 0xBF}},
    {4, {0xF0, 0x90, 0x80, 0x80}, {0xF0, 0xBF, 0xBF, 0xBF}},
    {4, {0xF1, 0x80, 0x80, 0x80}, {0xF3, 0xBF, 0xBF, 0xBF}},
    {4, {0xF4, 0x80, 0x80, 0x80}, {0xF4, 0x8F, 0xBF, 0xBF}},
};

std::size_t MatchedPrefix(const Bytes& bytes, std::size_t at, const WellFormed& form) {
  std::size_t k = 0;
  while (k < form.length && at + k < bytes.size() && bytes[at + k] >= form.low[k] &&
         bytes[at + k] <= form.high[k])
    ++k;
  return k;
}

void AppendCodePoint(Text& text, char32_t cp) {
  if (cp < 0x10000) {
    text += static_cast<char16_t>(cp);
  } else {
    text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  }
}

Text ReferenceDecode(const Bytes& bytes) {
  Text text;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t longest = 0;
    const WellFormed* complete = nullptr;
    for (const WellFormed& form : kWellFormed) {
      const std::size_t matched = MatchedPrefix(bytes, at, form);
      longest = std::max(longest, matched);
      if (matched == form.length) complete = &form;
    }
    if (complete == nullptr) {
      text += char16_t{0xFFFD};  // one for the maximal subpart, which is at least one byte
      at += std::max<std::size_t>(longest, 1);
      continue;
    }
    const std::uint8_t lead_mask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t cp = bytes[at] & lead_mask[complete->length];
    for (std::size_t k = 1; k < complete->length; ++k)
      cp = (cp << 6) | (bytes[at + k] & 0x3F);
    AppendCodePoint(text, cp);
    at += complete->length;
  }
  return text;
}

void AppendUtf8Of(Bytes& bytes, char32_t cp) {
  if (cp < 0x80) {
    bytes.push_back(static_cast<std::uint8_t>(cp));
  } else if (cp < 0x800) {
    bytes.push_back(static_cast<std::uint8_t>(0xC0 | (cp >> 6)));
    bytes.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    bytes.push_back(static_cast<std::uint8_t>(0xE0 | (cp >> 12)));
    bytes.push_back(static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
    bytes.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
  } else {
    bytes.push_back(static_cast<std::uint8_t>(0xF0 | (cp >> 18)));
    bytes.push_back(static_cast<std::uint8_t>(0x80 | ((cp >> 12) & 0x3F)));
    bytes.push_back(static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
    bytes.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
  }
}

// Pieces of workbook-like input with faults mixed in, drawn with fixed seeds.
class PieceMaker {
 public:
  explicit PieceMaker(std::uint32_t seed) : random_(seed) {}

  void AddPiece(Bytes& bytes) {
    switch (Pick(20)) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4:
      case 5:
        return AddAscii(bytes, 1 + Pick(40));
      case 6:
        return AppendUtf8Of(bytes, static_cast<char32_t>(0x80 + Pick(0x800 - 0x80)));
      case 7:
      case 8:
      case 9:
      case 10:
      case 11:
        return AppendUtf8Of(bytes, static_cast<char32_t>(0x4E00 + Pick(0x5200)));  // CJK
      case 12:
        return AppendUtf8Of(bytes, AnyBmpScalar());
      case 13:
        return AppendUtf8Of(bytes, static_cast<char32_t>(0x10000 + Pick(0x100000)));
      case 14:
        return AddTruncated(bytes);
      case 15:
        return bytes.push_back(static_cast<std::uint8_t>(0x80 + Pick(0x80)));
      case 16:
        return AddIllFormed(bytes);
      case 17:
        return AddNearBoundary(bytes);
      default:
        return AddAscii(bytes, 64 + Pick(64));
    }
  }

  Bytes Make(std::size_t length) {
    Bytes bytes;
    while (bytes.size() < length)
      AddPiece(bytes);
    bytes.resize(length);  // may cut the last sequence short
    return bytes;
  }

  std::size_t Pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
  }

 private:
  void AddAscii(Bytes& bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
      bytes.push_back(static_cast<std::uint8_t>(Pick(8) == 0 ? Pick(0x80) : 0x20 + Pick(0x5F)));
  }

  char32_t AnyBmpScalar() {
    for (;;) {
      const auto cp = static_cast<char32_t>(0x800 + Pick(0x10000 - 0x800));
      if (cp < 0xD800 || cp > 0xDFFF) return cp;
    }
  }

  // A valid two-, three- or four-byte sequence with its tail missing.
  void AddTruncated(Bytes& bytes) {
    Bytes whole;
    const char32_t starts[] = {0x80, 0x800, 0x10000};
    const char32_t sizes[] = {0x780, 0x7000, 0xF0000};
    const std::size_t kind = Pick(3);
    AppendUtf8Of(whole, starts[kind] + static_cast<char32_t>(Pick(sizes[kind])));
    whole.resize(1 + Pick(whole.size() - 1));
    bytes.insert(bytes.end(), whole.begin(), whole.end());
  }

  // Overlong forms, encoded surrogates, values above U+10FFFF and bytes that never occur.
  void AddIllFormed(Bytes& bytes) {
    const std::vector<Bytes> forms = {
        {0xC0, 0xAF},
        {0xC1, 0xBF},
        {0xE0, 0x80, 0xAF},
        {0xE0, 0x9F, 0xBF},
        {0xED, 0xA0, 0x80},
        {0xED, 0xBF, 0xBF},
        {0xF0, 0x8F, 0xBF, 0xBF},
        {0xF4, 0x90, 0x80, 0x80},
        {0xF5, 0x80, 0x80, 0x80},
        {0xFE},
        {0xFF},
        {0xF8, 0x88, 0x80, 0x80, 0x80},
    };
    const Bytes& form = forms[Pick(forms.size())];
    bytes.insert(bytes.end(), form.begin(), form.end());
  }

  // A lead byte followed by a second byte just inside or just outside its allowed range.
  void AddNearBoundary(Bytes& bytes) {
    const std::uint8_t leads[] = {0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED,
                                  0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4};
    const std::uint8_t seconds[] = {0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0};
    bytes.push_back(leads[Pick(std::size(leads))]);
    bytes.push_back(seconds[Pick(std::size(seconds))]);
    for (std::size_t k = Pick(3); k > 0; --k)
      bytes.push_back(static_cast<std::uint8_t>(0x80 + Pick(0x40)));
  }

  std::mt19937 random_;
};

std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
    out += ' ';
  }
  return out;
}

// Stops a failing loop after the first mismatch, so one fault does not print thousands.
::testing::AssertionResult DecodesLikeReference(const Bytes& bytes) {
  const Text got = DecodeUtf8(bytes);
  if (got == ReferenceDecode(bytes)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "bytes: " << Hex(bytes);
}

TEST(Utf8Differential, ShortRandomStrings) {
  PieceMaker maker(20240611);
  for (int i = 0; i < 20000; ++i) {
    const Bytes bytes = maker.Make(maker.Pick(201));
    ASSERT_TRUE(DecodesLikeReference(bytes)) << "case " << i;
  }
}

// A sequence, whole or cut short, placed at every offset around the 16- and 32-byte marks,
// once followed by more text and once at the very end.
TEST(Utf8Differential, SequencesAroundBlockBoundaries) {
  const std::vector<Bytes> pieces = {
      {0xC3, 0xA9},
      {0xC3},
      {0xE6, 0xAD, 0x8C},
      {0xE6, 0xAD},
      {0xE6},
      {0xF0, 0x9F, 0x98, 0x80},
      {0xF0, 0x9F, 0x98},
      {0xF0, 0x9F},
      {0xF0},
      {0x80},
      {0xFF},
      {0xED, 0xA0, 0x80},
      {0xE0, 0x80},
  };
  for (std::size_t prefix = 0; prefix <= 40; ++prefix) {
    for (const Bytes& piece : pieces) {
      for (const bool at_end : {true, false}) {
        Bytes bytes(prefix, 'x');
        bytes.insert(bytes.end(), piece.begin(), piece.end());
        if (!at_end) bytes.insert(bytes.end(), {'<', 'a', 0xE6, 0xAD, 0x8C, '>'});
        ASSERT_TRUE(DecodesLikeReference(bytes)) << "prefix " << prefix;
      }
    }
  }
}

// Long inputs are decoded in pieces; characters, surrogate pairs above all, must survive
// every place where one piece ends and the next begins.
TEST(Utf8Differential, LongStringsAcrossInternalPieces) {
  PieceMaker maker(7);
  for (int i = 0; i < 8; ++i) {
    const Bytes bytes = maker.Make(20000 + maker.Pick(60000));
    ASSERT_TRUE(DecodesLikeReference(bytes)) << "case " << i;
  }
  for (std::size_t ascii = 4060; ascii <= 4110; ++ascii) {
    Bytes bytes(ascii, 'a');
    for (int k = 0; k < 12; ++k)
      bytes.insert(bytes.end(), {0xF0, 0x9F, 0x98, 0x80, 0xE6, 0xAD, 0x8C});
    bytes.insert(bytes.end(), 5000, 'z');
    ASSERT_TRUE(DecodesLikeReference(bytes)) << "ASCII run of " << ascii;
  }
}

// Buffers of several megabytes take another way through memory; their content must not care.
using LargeWorkbook = TempDirTest;

TEST_F(LargeWorkbook, ReadsWholeAndDecodesLikeReference) {
  PieceMaker maker(99);
  const Bytes bytes = maker.Make((std::size_t{4} << 20) + 3);
  Put(u"large.xml", std::string(bytes.begin(), bytes.end()));
  Bytes read = BytesOf("previous");
  ASSERT_EQ(ReadFileBytes(PathOf(u"large.xml"), read), kErrorSuccess);
  ASSERT_TRUE(read == bytes);
  EXPECT_TRUE(DecodesLikeReference(read));
}

TEST(Utf8Differential, ReferenceAgreesWithKnownDecodings) {
  // The reference itself must be right for the comparisons above to mean anything.
  EXPECT_EQ(ReferenceDecode(
                {0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62, 0x80, 0x63, 0x80, 0xBF, 0x64}),
            (Text{u'a', 0xFFFD, 0xFFFD, 0xFFFD, u'b', 0xFFFD, u'c', 0xFFFD, 0xFFFD, u'd'}));
  EXPECT_EQ(ReferenceDecode({0xE6, 0xAD, 0x8C, 0xF0, 0x9F, 0x98, 0x80}), u"歌\U0001F600");
  EXPECT_EQ(ReferenceDecode({0xE0, 0x80, 0xAF}), (Text{0xFFFD, 0xFFFD, 0xFFFD}));
}

}  // namespace
}  // namespace drumlo
