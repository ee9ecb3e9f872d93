#include "generator/song_rules.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "show_text.h"

namespace drumlo {
namespace {

struct RewriteCase {
  std::u16string_view value;
  std::optional<std::u16string_view> want;  // nullopt: rejected
};

void PrintTo(const RewriteCase& c, std::ostream* os) {
  *os << '"' << Show(c.value) << "\" -> " << (c.want ? '"' + Show(*c.want) + '"' : "rejected");
}

class RewriteNameTest : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(RewriteNameTest, RewritesOrRejects) {
  const RewriteCase& c = GetParam();
  const std::optional<Text> got = RewriteName(c.value);
  ASSERT_EQ(got.has_value(), c.want.has_value());
  if (got) {
    EXPECT_EQ(*got, *c.want);
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, RewriteNameTest,
    ::testing::Values(RewriteCase{u"nms07", u"new_mission_07"},
                      RewriteCase{u"nms", u"new_mission_"}, RewriteCase{u"ms3", u"mission3"},
                      RewriteCase{u"ms", u"mission"}, RewriteCase{u"m12", std::nullopt},
                      RewriteCase{u"m", std::nullopt}, RewriteCase{u"a12", u"a_song12"},
                      RewriteCase{u"M12", u"M_song12"}, RewriteCase{u"Ms1", u"M_songs1"},
                      RewriteCase{u"NMS1", u"N_songMS1"}, RewriteCase{u"nx1", u"n_songx1"},
                      RewriteCase{u"nm1", u"n_songm1"}, RewriteCase{u"", u"_song"},
                      RewriteCase{u"b", u"b_song"}, RewriteCase{u"a&amp;b", u"a_song&amp;b"},
                      RewriteCase{u"\U0001F3B5x", u"\U0001F3B5_songx"},
                      RewriteCase{u"\U0001F3B5", u"\U0001F3B5_song"},
                      RewriteCase{u"\u6b4c\u66f2", u"\u6b4c_song\u66f2"},
                      // A lone surrogate is a unit of its own; no pair to keep whole.
                      RewriteCase{u"\xD83C"
                                  u"x",
                                  u"\xD83C"
                                  u"_songx"},
                      RewriteCase{u"\xDFB5\xD83C", u"\xDFB5_song\xD83C"}));

struct ColumnNameCase {
  std::u16string_view name;
  Column want;
};

void PrintTo(const ColumnNameCase& c, std::ostream* os) {
  *os << '"' << Show(c.name) << "\" -> column " << static_cast<int>(c.want);
}

class ColumnFromNameTest : public ::testing::TestWithParam<ColumnNameCase> {};

TEST_P(ColumnFromNameTest, MatchesExactUpperCaseNames) {
  EXPECT_EQ(ColumnFromName(GetParam().name), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    All, ColumnFromNameTest,
    ::testing::Values(
        ColumnNameCase{u"INDEX", Column::kIndex}, ColumnNameCase{u"XML", Column::kXml},
        ColumnNameCase{u"PAK", Column::kPak}, ColumnNameCase{u"IMAGE", Column::kImage},
        ColumnNameCase{u"LV", Column::kLv}, ColumnNameCase{u"NAME", Column::kName},
        ColumnNameCase{u"ARTIST", Column::kArtist}, ColumnNameCase{u"GENRE", Column::kGenre},
        ColumnNameCase{u"", Column::kNone}, ColumnNameCase{u"Index", Column::kNone},
        ColumnNameCase{u" INDEX", Column::kNone}, ColumnNameCase{u"INDEX ", Column::kNone},
        ColumnNameCase{u"INDE", Column::kNone}, ColumnNameCase{u"INDEXX", Column::kNone},
        ColumnNameCase{std::u16string_view(u"LV\0", 3), Column::kNone}));

// One cell's rule applied to fresh values with the range 5000..9999.
struct Applied {
  RuleOutcome outcome;
  RunSongValues run;
  WindowSongValues window;
};

Applied Apply(Column column, TextView value) {
  Applied a{RuleOutcome::kIgnored, {}, {}};
  a.run = RunSongValues{77, u"oldxml", u"oldpak", 66};
  a.window.SongName = u"old name";
  a.window.SongLevel = 9;
  a.window.SongGenre = u"old genre";
  a.window.SongArtist = u"old artist";
  a.outcome = ApplyColumnRule(column, value, 5000, 9999, a.run, a.window);
  return a;
}

struct IndexCase {
  std::u16string_view value;
  RuleOutcome want;
  std::int32_t want_index;
};

void PrintTo(const IndexCase& c, std::ostream* os) {
  *os << '"' << Show(c.value) << "\" -> outcome " << static_cast<int>(c.want) << ", "
      << +c.want_index;
}

class IndexRuleTest : public ::testing::TestWithParam<IndexCase> {};

TEST_P(IndexRuleTest, StoresThenTestsTheRange) {
  const IndexCase& c = GetParam();
  const Applied a = Apply(Column::kIndex, c.value);
  EXPECT_EQ(a.outcome, c.want);
  EXPECT_EQ(a.run.SongIndex, c.want_index);
  EXPECT_EQ(AbandonsRow(a.outcome), c.want != RuleOutcome::kApplied);
}

INSTANTIATE_TEST_SUITE_P(
    All, IndexRuleTest,
    ::testing::Values(IndexCase{u"5000", RuleOutcome::kApplied, 5000},
                      IndexCase{u"9999", RuleOutcome::kApplied, 9999},
                      IndexCase{u"4999", RuleOutcome::kIndexOutOfRange, 4999},
                      IndexCase{u"10000", RuleOutcome::kIndexOutOfRange, 10000},
                      IndexCase{u"0", RuleOutcome::kIndexZero, 0},
                      IndexCase{u"abc", RuleOutcome::kIndexZero, 0},
                      IndexCase{u"5000.5", RuleOutcome::kApplied, 5000},
                      IndexCase{u"5001.5", RuleOutcome::kApplied, 5002},
                      IndexCase{u"4999.5", RuleOutcome::kApplied, 5000},
                      IndexCase{u"&H1388", RuleOutcome::kApplied, 5000},
                      IndexCase{u"&HFFFFFFFF", RuleOutcome::kIndexDoesNotFit, 77},
                      IndexCase{u"1e99", RuleOutcome::kIndexDoesNotFit, 77},
                      IndexCase{u"2147483647.5", RuleOutcome::kIndexDoesNotFit, 77}));

TEST(IndexRuleTest, ZeroIsRejectedEvenInsideTheRange) {
  RunSongValues run;
  WindowSongValues window;
  EXPECT_EQ(ApplyColumnRule(Column::kIndex, u"0", -5, 5, run, window), RuleOutcome::kIndexZero);
  EXPECT_EQ(ApplyColumnRule(Column::kIndex, u"-3", -5, 5, run, window), RuleOutcome::kApplied);
  EXPECT_EQ(run.SongIndex, -3);
}

struct LevelCase {
  std::u16string_view value;
  RuleOutcome want;
  std::uint8_t want_level;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
  *os << '"' << Show(c.value) << "\" -> outcome " << static_cast<int>(c.want) << ", "
      << +c.want_level;
}

class LevelRuleTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelRuleTest, StoresTwiceTheValueRounded) {
  const LevelCase& c = GetParam();
  const Applied a = Apply(Column::kLv, c.value);
  EXPECT_EQ(a.outcome, c.want);
  EXPECT_EQ(a.window.SongLevel, c.want_level);
}

INSTANTIATE_TEST_SUITE_P(All, LevelRuleTest,
                         ::testing::Values(LevelCase{u"3.5", RuleOutcome::kApplied, 7},
                                           LevelCase{u"2.25", RuleOutcome::kApplied, 4},
                                           LevelCase{u"2.75", RuleOutcome::kApplied, 6},
                                           LevelCase{u"127.5", RuleOutcome::kApplied, 255},
                                           LevelCase{u"", RuleOutcome::kAppliedNoNumber, 0},
                                           LevelCase{u"-0.25", RuleOutcome::kApplied, 0},
                                           LevelCase{u"128", RuleOutcome::kLevelDoesNotFit, 9},
                                           LevelCase{u"-1", RuleOutcome::kLevelDoesNotFit, 9},
                                           LevelCase{u"1e308", RuleOutcome::kLevelDoesNotFit, 9}));

struct ImageCase {
  std::u16string_view value;
  RuleOutcome want;
  std::int32_t want_image;
};

void PrintTo(const ImageCase& c, std::ostream* os) {
  *os << '"' << Show(c.value) << "\" -> outcome " << static_cast<int>(c.want) << ", "
      << +c.want_image;
}

class ImageRuleTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ImageRuleTest, StoresTheRoundedValue) {
  const ImageCase& c = GetParam();
  const Applied a = Apply(Column::kImage, c.value);
  EXPECT_EQ(a.outcome, c.want);
  EXPECT_EQ(a.run.ImageNo, c.want_image);
}

INSTANTIATE_TEST_SUITE_P(
    All, ImageRuleTest,
    ::testing::Values(ImageCase{u"0012", RuleOutcome::kApplied, 12},
                      ImageCase{u"x", RuleOutcome::kAppliedNoNumber, 0},
                      ImageCase{u"-7", RuleOutcome::kApplied, -7},
                      ImageCase{u"&HFFFFFFFF", RuleOutcome::kImageDoesNotFit, 66},
                      ImageCase{u"-2147483648.5", RuleOutcome::kApplied, -2147483647 - 1}));

TEST(ColumnRuleTest, XmlAndPakStoreTheRewriteOrLeaveTheValueOnRejection) {
  Applied a = Apply(Column::kXml, u"ms3");
  EXPECT_EQ(a.outcome, RuleOutcome::kApplied);
  EXPECT_EQ(a.run.XmlName, u"mission3");
  EXPECT_EQ(a.run.PakName, u"oldpak");

  a = Apply(Column::kPak, u"b02");
  EXPECT_EQ(a.outcome, RuleOutcome::kApplied);
  EXPECT_EQ(a.run.PakName, u"b_song02");
  EXPECT_EQ(a.run.XmlName, u"oldxml");

  a = Apply(Column::kXml, u"m1");
  EXPECT_EQ(a.outcome, RuleOutcome::kXmlRejected);
  EXPECT_EQ(a.run.XmlName, u"oldxml");

  a = Apply(Column::kPak, u"m1");
  EXPECT_EQ(a.outcome, RuleOutcome::kPakRejected);
  EXPECT_EQ(a.run.PakName, u"oldpak");
  EXPECT_TRUE(AbandonsRow(RuleOutcome::kXmlRejected));
  EXPECT_TRUE(AbandonsRow(RuleOutcome::kPakRejected));
  EXPECT_TRUE(AbandonsRow(RuleOutcome::kLevelDoesNotFit));
  EXPECT_FALSE(AbandonsRow(RuleOutcome::kAppliedNoNumber));
  EXPECT_FALSE(AbandonsRow(RuleOutcome::kIgnored));
}

TEST(ColumnRuleTest, DisplayColumnsDecodeIntoTheirOwnValue) {
  Applied a = Apply(Column::kName, u"A &lt;B&gt;");
  EXPECT_EQ(a.window.SongName, u"A <B>");
  EXPECT_EQ(a.window.SongArtist, u"old artist");

  a = Apply(Column::kArtist, u"R&amp;B");
  EXPECT_EQ(a.window.SongArtist, u"R&&B");
  EXPECT_EQ(a.window.SongGenre, u"old genre");

  a = Apply(Column::kGenre, u"Rock");
  EXPECT_EQ(a.window.SongGenre, u"Rock");
  EXPECT_EQ(a.window.SongName, u"old name");
  EXPECT_EQ(a.outcome, RuleOutcome::kApplied);
}

TEST(ColumnRuleTest, ColumnWithoutRuleChangesNothing) {
  const Applied a = Apply(Column::kNone, u"5000");
  EXPECT_EQ(a.outcome, RuleOutcome::kIgnored);
  EXPECT_EQ(a.run.SongIndex, 77);
  EXPECT_EQ(a.run.ImageNo, 66);
  EXPECT_EQ(a.window.SongName, u"old name");
}

struct XmlToTxtCase {
  std::u16string_view from;
  std::u16string_view want;
};

void PrintTo(const XmlToTxtCase& c, std::ostream* os) {
  *os << '"' << Show(c.from) << "\" -> \"" << Show(c.want) << '"';
}

class XmlToTxtTest : public ::testing::TestWithParam<XmlToTxtCase> {};

TEST_P(XmlToTxtTest, DecodesThenDoublesAmpersands) {
  EXPECT_EQ(XmlToTxt(GetParam().from), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    All, XmlToTxtTest,
    ::testing::Values(XmlToTxtCase{u"Tom &amp; Jerry", u"Tom && Jerry"},
                      XmlToTxtCase{u"&amp;lt;", u"&&lt;"},
                      XmlToTxtCase{u"&quot;Hi&quot;", u"\"Hi\""},
                      XmlToTxtCase{u"A &lt;B&gt;", u"A <B>"},
                      XmlToTxtCase{u"it&apos;s&nbsp;me", u"it's me"}, XmlToTxtCase{u"R&B", u"R&&B"},
                      XmlToTxtCase{u"&&", u"&&&&"}, XmlToTxtCase{u"&amp;amp;", u"&&amp;"},
                      XmlToTxtCase{u"&copy;", u"&&copy;"},
                      XmlToTxtCase{u"plain \u6b4c", u"plain \u6b4c"}, XmlToTxtCase{u"", u""}));

TEST(PathRuleTest, FormsImageAndFilePaths) {
  RunSongValues run;
  WindowSongValues window;
  ASSERT_EQ(ApplyColumnRule(Column::kImage, u"0012", 0, 0, run, window), RuleOutcome::kApplied);
  ASSERT_EQ(ApplyColumnRule(Column::kPak, u"b02", 0, 0, run, window), RuleOutcome::kApplied);
  ASSERT_EQ(ApplyColumnRule(Column::kXml, u"a&amp;b", 0, 0, run, window), RuleOutcome::kApplied);
  ApplyPathRule(run, window);
  EXPECT_EQ(window.SongImage, u"b_song02/music_12.bmp");
  EXPECT_EQ(window.SongFile, u"b_song02/a_song&amp;b.xml");

  run.ImageNo = -2147483647 - 1;
  run.PakName = u"p";
  run.XmlName.clear();
  ApplyPathRule(run, window);
  EXPECT_EQ(window.SongImage, u"p/music_-2147483648.bmp");
  EXPECT_EQ(window.SongFile, u"p/.xml");
}

TEST(EntryTest, AppendsNineLinesExactlyAfterWhatIsThere) {
  RunSongValues run;
  run.SongIndex = 5001;
  WindowSongValues window;
  window.SongName = u"A \"B\" <C>";
  window.SongImage = u"a_song01/music_12.bmp";
  window.SongFile = u"a_song01/a_song0103.xml";
  window.SongLevel = 255;
  window.SongGenre = u"R&&B";
  window.SongArtist = u"\u6b4c\U0001F3B5";
  Text out = u"before\r\n";
  AppendEntry(out, run, window);
  EXPECT_EQ(out,
            u"before\r\n"
            u"<Music\r\n"
            u"\tIndex=\"5001\"\r\n"
            u"\tName=\"A \"B\" <C>\"\r\n"
            u"\tImage=\"a_song01/music_12.bmp\"\r\n"
            u"\tFile=\"a_song01/a_song0103.xml\"\r\n"
            u"\tLevel=\"255\"\r\n"
            u"\tGenre=\"R&&B\"\r\n"
            u"\tArtist=\"\u6b4c\U0001F3B5\"\r\n"
            u"/>\r\n");
}

TEST(EntryTest, WritesEmptyValuesAndNegativeIndex) {
  RunSongValues run;
  run.SongIndex = -12;
  Text out;
  AppendEntry(out, run, WindowSongValues{});
  EXPECT_EQ(out,
            u"<Music\r\n\tIndex=\"-12\"\r\n\tName=\"\"\r\n\tImage=\"\"\r\n\tFile=\"\"\r\n"
            u"\tLevel=\"0\"\r\n\tGenre=\"\"\r\n\tArtist=\"\"\r\n/>\r\n");
}

struct DecimalCase {
  std::int64_t value;
  std::u16string_view want;
};

void PrintTo(const DecimalCase& c, std::ostream* os) {
  *os << c.value;
}

class DecimalTextTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalTextTest, WritesPlainDecimal) {
  EXPECT_EQ(DecimalText(GetParam().value), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    All, DecimalTextTest,
    ::testing::Values(DecimalCase{0, u"0"}, DecimalCase{7, u"7"}, DecimalCase{-7, u"-7"},
                      DecimalCase{5000, u"5000"}, DecimalCase{10, u"10"},
                      DecimalCase{-2147483648LL, u"-2147483648"},
                      DecimalCase{std::numeric_limits<std::int64_t>::max(), u"9223372036854775807"},
                      DecimalCase{std::numeric_limits<std::int64_t>::min(),
                                  u"-9223372036854775808"}));

}  // namespace
}  // namespace drumlo
