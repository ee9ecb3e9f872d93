#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileio/file_access.h"
#include "fileio/utf8.h"

namespace drumlo {
namespace {

constexpr char16_t kR = 0xFFFD;

Bytes B(std::initializer_list<int> values) {
  Bytes bytes;
  for (int v : values)
    bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

struct DecodeCase {
  const char* name;
  Bytes bytes;
  Text want;
};

// Test names show the case name, not the bytes of the struct.
void PrintTo(const DecodeCase& c, std::ostream* os) {
  *os << c.name;
}

class Utf8ToTextCases : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8ToTextCases, DecodesLikeTheTable) {
  EXPECT_EQ(Utf8ToText(GetParam().bytes), GetParam().want);
}

const DecodeCase kDecodeCases[] = {
    {"Empty", {}, u""},
    {"Ascii", B({'a', 'b', 'c'}), u"abc"},
    {"BomRemoved", B({0xEF, 0xBB, 0xBF, 'A'}), u"A"},
    {"BomOnly", B({0xEF, 0xBB, 0xBF}), u""},
    {"DoubleBomKeepsOne", B({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF, 'A'}), u"\uFEFFA"},
    {"BomLaterKept", B({'A', 0xEF, 0xBB, 0xBF}), u"A\uFEFF"},
    {"TruncatedBomIsMalformed", B({0xEF, 0xBB, 'A'}), Text{kR, u'A'}},
    {"Chinese", B({0xE6, 0xAD, 0x8C, 0xE6, 0x9B, 0xB2}), u"歌曲"},
    {"TwoByte", B({0xC3, 0xA9}), u"é"},
    {"FourByteToSurrogatePair", B({0xF0, 0x9F, 0x98, 0x80}), u"\U0001F600"},
    {"HighestScalar", B({0xF4, 0x8F, 0xBF, 0xBF}), u"\U0010FFFF"},
    {"NulKept", B({'A', 0x00, 'B'}), Text(u"A\0B", 3)},
    {"FFInsideValidText", B({'a', 0xE2, 0x82, 0xAC, 0xFF, 'b'}), Text{u'a', u'€', kR, u'b'}},
    {"LoneContinuation", B({'a', 0x80, 'b'}), Text{u'a', kR, u'b'}},
    {"TruncatedTwoAtEnd", B({'a', 0xC3}), Text{u'a', kR}},
    {"TruncatedThreeAtEnd", B({'a', 0xE2, 0x82}), Text{u'a', kR}},
    {"TruncatedFourAtEnd", B({'a', 0xF0, 0x9F, 0x98}), Text{u'a', kR}},
    {"TruncatedThenAscii", B({0xE2, 0x82, 'x'}), Text{kR, u'x'}},
    {"OverlongTwoByte", B({0xC0, 0xAF}), Text{kR, kR}},
    {"OverlongC1", B({0xC1, 0xBF}), Text{kR, kR}},
    {"OverlongThreeByte", B({0xE0, 0x80, 0xAF}), Text{kR, kR, kR}},
    {"OverlongFourByte", B({0xF0, 0x80, 0x80, 0xAF}), Text{kR, kR, kR, kR}},
    {"HighSurrogateEncoded", B({0xED, 0xA0, 0x80}), Text{kR, kR, kR}},
    {"LowSurrogateEncoded", B({0xED, 0xBF, 0xBF}), Text{kR, kR, kR}},
    {"AboveMaxF4", B({0xF4, 0x90, 0x80, 0x80}), Text{kR, kR, kR, kR}},
    {"AboveMaxF5", B({0xF5, 0x80, 0x80, 0x80}), Text{kR, kR, kR, kR}},
    {"FiveByteForm", B({0xF8, 0x88, 0x80, 0x80, 0x80}), Text{kR, kR, kR, kR, kR}},
    {"MaximalSubparts",
     B({0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62, 0x80, 0x63, 0x80, 0xBF, 0x64}),
     Text{u'a', kR, kR, kR, u'b', kR, u'c', kR, kR, u'd'}},
    {"BrokenSequenceKeepsNextLead", B({0xE2, 0xE2, 0x82, 0xAC}), Text{kR, u'€'}},
};

INSTANTIATE_TEST_SUITE_P(All, Utf8ToTextCases, testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every scalar value in one buffer: catches wrong bit assembly and wrong range limits.
TEST(Utf8ToText, DecodesEveryScalarValue) {
  std::string bytes;
  Text want;
  for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x80) {
      bytes += static_cast<char>(cp);
    } else if (cp < 0x800) {
      bytes += static_cast<char>(0xC0 | (cp >> 6));
      bytes += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      bytes += static_cast<char>(0xE0 | (cp >> 12));
      bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (cp >> 18));
      bytes += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (cp & 0x3F));
    }
    if (cp < 0x10000) {
      want += static_cast<char16_t>(cp);
    } else {
      want += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      want += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  EXPECT_TRUE(Utf8ToText(std::span(data, bytes.size())) == want);
  EXPECT_TRUE(EncodeUtf8(want) == bytes);
}

// The eight-byte ASCII path must hand over to the full decoder at every offset.
TEST(Utf8ToText, MalformedByteAtEveryOffsetOfAsciiRun) {
  for (std::size_t prefix = 0; prefix < 20; ++prefix) {
    Bytes bytes(prefix, 'x');
    bytes.push_back(0xFF);
    bytes.insert(bytes.end(), {0xE2, 0x82, 0xAC, 'y', 'z'});
    Text want(prefix, u'x');
    want += Text{kR, u'€', u'y', u'z'};
    EXPECT_EQ(Utf8ToText(bytes), want) << "ASCII prefix of " << prefix;
  }
}

struct EncodeCase {
  const char* name;
  Text text;
  Bytes want;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
  *os << c.name;
}

class TextToBytesCases : public testing::TestWithParam<EncodeCase> {};

TEST_P(TextToBytesCases, GivesUtf16LittleEndian) {
  EXPECT_EQ(TextToBytes(GetParam().text), GetParam().want);
}

const EncodeCase kEncodeCases[] = {
    {"Empty", u"", {}},
    {"AsciiAndEuro", u"A€", B({0x41, 0x00, 0xAC, 0x20})},
    {"WithMark", u"\uFEFFA€", B({0xFF, 0xFE, 0x41, 0x00, 0xAC, 0x20})},
    {"NulAndLoneSurrogateCopied", Text{u'\0', char16_t{0xD800}}, B({0x00, 0x00, 0x00, 0xD8})},
    {"SurrogatePair", u"\U0001F600", B({0x3D, 0xD8, 0x00, 0xDE})},
};

INSTANTIATE_TEST_SUITE_P(All, TextToBytesCases, testing::ValuesIn(kEncodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeUtf8, LoneSurrogatesBecomeReplacementCharacter) {
  EXPECT_EQ(EncodeUtf8(Text{u'a', char16_t{0xDC00}, u'b'}),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(EncodeUtf8(Text{char16_t{0xD800}}), "\xEF\xBF\xBD");
  EXPECT_EQ(EncodeUtf8(u"歌\U0001F600"), "\xE6\xAD\x8C\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace drumlo
