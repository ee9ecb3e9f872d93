#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup_context.h"

namespace drumlo {
namespace {

constexpr TextView kExe = u"C:\\Tools\\listgen.exe";

struct SplitCase {
  const char* name;
  TextView line;
  std::vector<Text> want;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
  *os << c.name;
}

class SplitCommandLineCases : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineCases, GivesTheElements) {
  EXPECT_EQ(SplitCommandLine(GetParam().line, kExe), GetParam().want);
}

const SplitCase kSplitCases[] = {
    {"QuotedProgramWithSpaces",
     u"\"C:\\Program Files\\Drumlo\\gen.exe\" book.xml",
     {u"C:\\Program Files\\Drumlo\\gen.exe", u"book.xml"}},
    {"UnquotedProgramSplitsAtSpaces",
     u"C:\\Program Files\\gen.exe book.xml",
     {u"C:\\Program", u"Files\\gen.exe", u"book.xml"}},
    {"RunsOfBlanksSeparateOnce", u"gen.exe  \t \ta\t\tb", {u"gen.exe", u"a", u"b"}},
    {"BlanksAtBothEndsGiveNoElements", u"  \tgen.exe a \t ", {u"gen.exe", u"a"}},
    {"QuotedArgumentKeepsSpacesAndTabBecomesSpace",
     u"gen.exe \"歌曲 规范\t总表.xml\"",
     {u"gen.exe", u"歌曲 规范 总表.xml"}},
    {"QuotesInsideTokenRemoved", u"gen.exe a\"b c\"d", {u"gen.exe", u"ab cd"}},
    {"TwoQuotesGiveEmptyElement", u"gen.exe \"\" x", {u"gen.exe", u"", u"x"}},
    {"UnclosedQuoteTakesRestOfLine", u"gen.exe \"a b  c", {u"gen.exe", u"a b  c"}},
    {"BackslashBeforeQuoteIsPlain",
     u"gen.exe \"C:\\Dir\\\" next",
     {u"gen.exe", u"C:\\Dir\\", u"next"}},
    {"QuotedProgramFollowedDirectly", u"\"C:\\a b\\gen.exe\"x", {u"C:\\a b\\gen.exex"}},
    {"ProgramOnly", u"gen", {u"gen"}},
    {"EmptyLineGivesExePath", u"", {Text(kExe)}},
    {"BlanksOnlyGiveExePath", u"  \t  ", {Text(kExe)}},
};

INSTANTIATE_TEST_SUITE_P(All, SplitCommandLineCases, testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FindCase {
  Position start;
  TextView text;
  char16_t separator;
  Position want;
};

TEST(FindSeparator, SkipsSeparatorsInsideQuotes) {
  const FindCase cases[] = {
      {1, u"ab cd", u' ', 3},
      {4, u"ab cd", u' ', 0},
      {1, u"\"a b\" c", u' ', 6},
      {3, u"\"a b\" c", u' ', 3},  // quotes before start do not count
      {1, u"\"a b c", u' ', 0},
      {1, u"a\"b", u'"', 2},  // the separator test comes first: a quote
                              // separator matches
      {0, u"a b", u' ', 2},
      {1, u"", u' ', 0},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(FindSeparator(c.start, c.text, c.separator), c.want)
        << "start " << c.start << " in text of length " << c.text.size();
  }
}

TEST(FirstNonSpace, CountsOnlySpaces) {
  EXPECT_EQ(FirstNonSpace(1, u"  a"), 3);
  EXPECT_EQ(FirstNonSpace(1, u"\ta"), 1);
  EXPECT_EQ(FirstNonSpace(2, u"a  b"), 4);
  EXPECT_EQ(FirstNonSpace(1, u"   "), 0);
  EXPECT_EQ(FirstNonSpace(5, u"ab"), 0);
  EXPECT_EQ(FirstNonSpace(1, u""), 0);
}

TEST(CutAtNul, KeepsTextBeforeFirstNul) {
  EXPECT_EQ(CutAtNul(Text(u"C:\\a.exe\0  ", 11)), u"C:\\a.exe");
  EXPECT_EQ(CutAtNul(u"no nul"), u"no nul");
  EXPECT_EQ(CutAtNul(Text(u"\0x", 2)), u"");
}

TEST(WideCStrToText, CopiesUpToNul) {
  EXPECT_EQ(WideCStrToText(nullptr), u"");
  EXPECT_EQ(WideCStrToText(u""), u"");
  const char16_t with_nul[] = u"歌曲\0tail";
  EXPECT_EQ(WideCStrToText(with_nul), u"歌曲");
}

TEST(ArgumentTextAfterProgram, SkipsProgramTokenAndBlanks) {
  const std::pair<TextView, TextView> cases[] = {
      {u"\"C:\\a b\\gen.exe\" \t book.xml", u"book.xml"},
      {u"\"C:\\a b\\gen.exe\"x", u"x"},
      {u"gen.exe\tbook.xml x", u"book.xml x"},
      {u"gen.exe", u""},
      {u"gen.exe   ", u""},
      {u"\"C:\\unclosed gen.exe arg", u""},
      {u"gen.exe \"\"", u"\"\""},
      {u"", u""},
  };
  for (const auto& [line, want] : cases)
    EXPECT_EQ(ArgumentTextAfterProgram(line), want);
}

TEST(DirectoryOf, KeepsTheLastSeparator) {
  EXPECT_EQ(DirectoryOf(u"C:\\Tools\\gen.exe", u'\\'), u"C:\\Tools\\");
  EXPECT_EQ(DirectoryOf(u"D:\\gen.exe", u'\\'), u"D:\\");
  EXPECT_EQ(DirectoryOf(u"/opt/drumlo/bin/gen", u'/'), u"/opt/drumlo/bin/");
  EXPECT_EQ(DirectoryOf(u"gen.exe", u'\\'), u"");
}

}  // namespace
}  // namespace drumlo
