// Hostile workbooks through the whole run: huge nesting, huge rows and values, text that never
// closes, NUL bytes and broken UTF-8. Each must end with the result the rules define; a case
// built at full size must also give exactly the result of the same case built small, since
// only the amount of the hostile part differs. Speed is measured by the benchmarks, not here.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "generator/gen_list.h"
#include "run_doubles.h"
#include "workbooks.h"

namespace drumlo {
namespace {

// What a run left behind, comparable between two runs.
struct Outcome {
  RunOutcome outcome = RunOutcome::kFinished;
  Text last_status;
  std::map<Text, Text> lists;  // file name -> decoded text (byte-order mark checked)
  std::int32_t rows_read = 0;
  std::int32_t rows_accepted = 0;
  std::size_t findings = 0;  // grows with the hostile part, so not compared
  bool operator==(const Outcome& other) const {
    return outcome == other.outcome && last_status == other.last_status && lists == other.lists &&
           rows_read == other.rows_read && rows_accepted == other.rows_accepted;
  }
};

Outcome RunOn(std::string workbook) {
  MemoryFiles files;
  files.files[u"book.xml"] = Bytes(workbook.begin(), workbook.end());
  std::string().swap(workbook);
  RecordingHost host;
  WindowSongValues window;
  RunReport report;
  RunContext context{host, files, window, u"out/", false, &report};
  Outcome out;
  out.outcome = GenList(u"book.xml", 1, 999999, context).outcome;
  out.last_status = host.Statuses().back();
  for (const auto& [path, bytes] : files.files) {
    if (path != u"book.xml") out.lists[path.substr(4)] = ListText(bytes);
  }
  out.rows_read = report.rows_read;
  out.rows_accepted = report.rows_accepted;
  out.findings = report.findings.size();
  return out;
}

std::string Repeat(const std::string& unit, std::size_t times) {
  std::string s;
  s.reserve(unit.size() * times);
  for (std::size_t k = 0; k < times; ++k)
    s += unit;
  return s;
}

std::string SongCells(int index, const std::string& name) {
  return Cell(std::to_string(index)) + Cell("p") + Cell("s" + std::to_string(index)) + Cell(name);
}

std::string NamedSong(int index, const std::string& name) {
  return "<Row>" + SongCells(index, name) + "</Row>\n";
}

std::string Book(const std::string& rows) {
  return "<?xml version=\"1.0\"?>\n<Workbook><Worksheet><Table>\n" + kHeader + rows +
         "</Table></Worksheet></Workbook>\n";
}

// The names in a list file's entries, in order.
std::vector<Text> Names(const Text& list) {
  std::vector<Text> names;
  const TextView key = u"\tName=\"";
  for (std::size_t at = list.find(key); at != Text::npos; at = list.find(key, at + 1)) {
    const std::size_t begin = at + key.size();
    names.push_back(list.substr(begin, list.find(u"\"\r\n", begin) - begin));
  }
  return names;
}

struct HostileCase {
  const char* name;
  std::size_t full;                              // size of the hostile part at full scale
  std::function<std::string(std::size_t)> book;  // the workbook for a given size
  std::map<Text, std::vector<Text>> expected;    // list file -> names of its entries
};

void PrintTo(const HostileCase& c, std::ostream* os) {
  *os << c.name;
}

const std::size_t kMillion = 1000000;

std::vector<HostileCase> Cases() {
  return {
      {"NestedStartTagsClosedInsideValue",
       kMillion,
       [](std::size_t n) {
         return Book(NamedSong(5001, Repeat("<b>", n) + "x" + Repeat("</b>", n)));
       },
       {{u"5001.txt", {u"x"}}}},
      {"NestedStartTagsNeverClosedInsideRow",
       kMillion,
       [](std::size_t n) {
         return Book("<Row>" + SongCells(5001, "a") + Repeat("<b>", n) + "</Row>\n" +
                     NamedSong(5002, "b"));
       },
       {{u"5001.txt", {u"a", u"b"}}}},
      {"NestedRowStartTagsAtTheEnd",
       kMillion,
       [](std::size_t n) { return Book(NamedSong(5001, "a") + Repeat("<Row>", n)); },
       {{u"5001.txt", {u"a"}}}},
      {"RowWithAMillionCells",
       kMillion,
       [](std::size_t n) {
         return Book("<Row>" + SongCells(5001, "a") + Repeat(Cell("z"), n) + "</Row>\n" +
                     NamedSong(5002, "b"));
       },
       {{u"5001.txt", {u"a", u"b"}}}},
      {"TenMegabyteAttributeValue",
       10 * kMillion / 6,
       [](std::size_t n) {
         return Book("<Row ss:StyleID=\"" + Repeat("<b>x/ ", n) + "\">" + SongCells(5001, "a") +
                     "</Row>\n" + "<Row>" + Cell("5002") + Cell("p") + Cell("s") +
                     "<Cell ss:StyleID='" + Repeat("<b/>", n) + "'><Data>b</Data></Cell>" +
                     "</Row>\n");
       },
       {{u"5001.txt", {u"a", u"b"}}}},
      {"CellsNeverClosed",
       kMillion,
       [](std::size_t n) {
         return Book(NamedSong(5001, "a") + "<Row>" + Cell("5002") + Repeat("<Cell><Data>", n));
       },
       {{u"5001.txt", {u"a"}}}},
      {"LessThanSignsStartingNothingInsideRow",
       kMillion,
       [](std::size_t n) {
         return Book("<Row>" + SongCells(5001, "a") + Repeat("<", n) + Repeat("<b", n) +
                     Repeat("<!x", n) + Repeat("<-", n) + "</Row>\n" + NamedSong(5002, "b"));
       },
       {{u"5001.txt", {u"a", u"b"}}}},
      {"UnclosedNestedElementsBetweenCells",
       kMillion / 4,
       [](std::size_t n) {
         std::string row = "<Row>" + Cell("5001") + Cell("p") + Cell("s");
         row += Repeat("<a><b></a>", n) + Cell("a") + "</Row>\n";
         return Book(row + NamedSong(5002, "b"));
       },
       {{u"5001.txt", {u"a", u"b"}}}},
  };
}

class HostileWorkbookTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileWorkbookTest, GivesItsResultAtEveryScale) {
  const HostileCase& c = GetParam();
  const Outcome small = RunOn(c.book(3));
  const Outcome full = RunOn(c.book(c.full));
  EXPECT_EQ(full.outcome, RunOutcome::kFinished);
  EXPECT_EQ(full.last_status, u"读取完毕!");
  std::map<Text, std::vector<Text>> names;
  for (const auto& [file, list] : full.lists)
    names[file] = Names(list);
  EXPECT_EQ(names, c.expected);
  EXPECT_TRUE(full == small) << "the result depends on the size of the hostile part";
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileWorkbookTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<HostileCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(HostileWorkbook, RowCellsBeyondTheTwentyOneColumnsArePassedOverOneByOne) {
  const std::size_t extra = kMillion;
  const Outcome out =
      RunOn(Book("<Row>" + SongCells(5001, "a") + Repeat(Cell("z"), extra) + "</Row>\n"));
  // Four cells in use, 17 more fit the table, every further one is passed over with a finding.
  EXPECT_EQ(out.findings, extra - 17);
  EXPECT_EQ(out.rows_accepted, 1);
}

// A text without any "<" in its first 4 KB is no workbook at all; one that begins with a "<"
// and holds no row is read through to its end and is empty.
TEST(HostileWorkbook, HundredMegabytesWithoutAnyRowIsAnEmptyFile) {
  const Outcome out = RunOn("<" + std::string(100 * kMillion, 'x'));
  EXPECT_EQ(out.outcome, RunOutcome::kNoRows);
  EXPECT_EQ(out.last_status, u"空文件!");
  EXPECT_TRUE(out.lists.empty());
}

TEST(HostileWorkbook, LongTextWithoutTagsInsideAValueIsKept) {
  const std::string text(10 * kMillion, 'y');
  const Outcome out = RunOn(Book(NamedSong(5001, text)));
  ASSERT_EQ(out.lists.count(u"5001.txt"), 1u);
  EXPECT_EQ(Names(out.lists.at(u"5001.txt")), std::vector<Text>{Text(text.begin(), text.end())});
}

TEST(HostileWorkbook, NulBytesAreOrdinaryCodeUnits) {
  const std::string nul(1, '\0');
  // A NUL inside a tag name makes it another name; a NUL inside a value stays in the entry.
  // (A NUL in the first 4 KB would make the file no workbook: a comment comes first.)
  const Outcome out = RunOn(Book("<!--" + std::string(4096, ' ') + "-->\n<Ro" + nul + "w>" +
                                 SongCells(5000, "hidden") + "</Row>\n" +
                                 NamedSong(5001, "a" + nul + "b") + nul + NamedSong(5002, nul)));
  ASSERT_EQ(out.lists.count(u"5001.txt"), 1u);
  EXPECT_EQ(Names(out.lists.at(u"5001.txt")),
            (std::vector<Text>{Text(u"a\0b", 3), Text(1, u'\0')}));
}

TEST(HostileWorkbook, MalformedUtf8BecomesReplacementCharacters) {
  // An encoded surrogate (ED A0 80) is three maximal subparts; a cut sequence before "<" is one.
  const Outcome out = RunOn(Book(NamedSong(5001, "\xED\xA0\x80") + NamedSong(5002, "a\xE4\xB8") +
                                 NamedSong(5003,
                                           "\xFF\xC0\xAF"
                                           "b")));
  ASSERT_EQ(out.lists.count(u"5001.txt"), 1u);
  EXPECT_EQ(Names(out.lists.at(u"5001.txt")),
            (std::vector<Text>{u"\uFFFD\uFFFD\uFFFD", u"a\uFFFD", u"\uFFFD\uFFFD\uFFFDb"}));
}

TEST(HostileWorkbook, BrokenUtf8InsideTagsHidesOnlyThatTag) {
  const Outcome out =
      RunOn(Book("<Row\xC3>" + SongCells(5000, "hidden") + "</Row>\n" + NamedSong(5001, "a")));
  ASSERT_EQ(out.lists.count(u"5001.txt"), 1u);
  EXPECT_EQ(out.lists.size(), 1u);
  EXPECT_EQ(Names(out.lists.at(u"5001.txt")), std::vector<Text>{u"a"});
}

}  // namespace
}  // namespace drumlo
