// UTF-16 workbooks: decoded whole and piece by piece, in both byte orders.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "fileio/file_access.h"
#include "fileio/utf16.h"
#include "fileio/utf8.h"
#include "fileio/workbook_format.h"

namespace drumlo {
namespace {

Bytes B(std::initializer_list<int> values) {
  Bytes bytes;
  for (int v : values)
    bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

Bytes Swapped(Bytes bytes) {
  for (std::size_t k = 0; k + 1 < bytes.size(); k += 2)
    std::swap(bytes[k], bytes[k + 1]);
  return bytes;
}

struct Utf16Case {
  const char* name;
  Bytes little_endian;  // the big-endian form is the same bytes swapped in pairs
  Text want;
};

void PrintTo(const Utf16Case& c, std::ostream* os) {
  *os << c.name;
}

class Utf16ToTextCases : public testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16ToTextCases, BothByteOrdersDecodeLikeTheTable) {
  const Utf16Case& c = GetParam();
  EXPECT_EQ(Utf16ToText(c.little_endian, ByteOrder::kLittle), c.want);
  EXPECT_EQ(Utf16ToText(Swapped(c.little_endian), ByteOrder::kBig), c.want);
}

const Utf16Case kUtf16Cases[] = {
    {"Empty", {}, u""},
    {"MarkRemoved", B({0xFF, 0xFE, '<', 0}), u"<"},
    {"MarkOnly", B({0xFF, 0xFE}), u""},
    {"NoMark", B({'<', 0, 'R', 0}), u"<R"},
    {"SecondMarkKept", B({0xFF, 0xFE, 0xFF, 0xFE, 'A', 0}), u"\uFEFFA"},
    {"MarkLaterKept", B({'A', 0, 0xFF, 0xFE}), u"A\uFEFF"},
    {"Chinese", B({0x4C, 0x6B, 0xF2, 0x66}), u"歌曲"},
    {"SurrogatePair", B({0x3E, 0xD8, 0x41, 0xDD}), u"\U0001F941"},
    {"LoneHighSurrogateKept", B({0x3C, 0xD8, 'x', 0}), Text{char16_t{0xD83C}, u'x'}},
    {"LoneLowSurrogateKept", B({0x41, 0xDD}), Text{char16_t{0xDD41}}},
    {"NulKept", B({'A', 0, 0, 0, 'B', 0}), Text(u"A\0B", 3)},
    {"OddLastByte", B({'A', 0, 'B'}), Text{u'A', char16_t{0xFFFD}}},
    {"SingleByte", B({'A'}), Text{char16_t{0xFFFD}}},
};

INSTANTIATE_TEST_SUITE_P(All, Utf16ToTextCases, testing::ValuesIn(kUtf16Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Cuts anywhere, inside a unit or a pair, into pieces of 0 to 5 bytes.
Text DecodeInPieces(const Bytes& bytes, ByteOrder order, std::mt19937& rng) {
  Text out;
  Utf16PieceDecoder decoder(order);
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = std::min<std::size_t>(bytes.size() - at, rng() % 6);
    decoder.Add(std::span(bytes.data() + at, length), out);
    at += length;
  }
  decoder.Finish(out);
  return out;
}

TEST(Utf16PieceDecoderTest, PiecesDecodeAsTheWhole) {
  std::mt19937 rng(1616);
  for (int round = 0; round < 5000 && !HasFailure(); ++round) {
    Bytes bytes;
    if (rng() % 2 == 0) bytes = {0xFF, 0xFE};
    const std::size_t count = rng() % 40;
    for (std::size_t k = 0; k < count; ++k)
      bytes.push_back(static_cast<std::uint8_t>(rng() % 4 == 0 ? 0xD8 + rng() % 8 : rng()));
    for (const ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
      ASSERT_EQ(DecodeInPieces(bytes, order, rng), Utf16ToText(bytes, order)) << "round " << round;
    }
  }
}

// The decoder the run picks from the format gives one text for all three encodings.
TEST(WorkbookTextDecoderTest, OneTextFromEachEncoding) {
  const Text text = u"<Row><Cell><Data>夏の終わり 🥁 &amp;</Data></Cell></Row>";
  const std::string utf8 = "\xEF\xBB\xBF" + EncodeUtf8(text);
  Bytes little = TextToBytes(u"\uFEFF" + text);
  const std::vector<std::pair<WorkbookFormat, Bytes>> encodings = {
      {WorkbookFormat::kXmlUtf8, Bytes(utf8.begin(), utf8.end())},
      {WorkbookFormat::kXmlUtf16Le, little},
      {WorkbookFormat::kXmlUtf16Be, Swapped(little)},
  };
  std::mt19937 rng(3);
  for (const auto& [format, bytes] : encodings) {
    SCOPED_TRACE(std::string(WorkbookFormatName(format)));
    EXPECT_EQ(DetectWorkbookFormat(bytes), format);
    EXPECT_EQ(WorkbookText(format, bytes), text);
    Text out;
    WorkbookTextDecoder decoder(format);
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t length = std::min<std::size_t>(bytes.size() - at, 1 + rng() % 3);
      decoder.Add(std::span(bytes.data() + at, length), out);
      at += length;
    }
    decoder.Finish(out);
    EXPECT_EQ(out, text);
  }
}

}  // namespace
}  // namespace drumlo
