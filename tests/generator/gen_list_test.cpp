#include "generator/gen_list.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/report_text.h"
#include "run_doubles.h"
#include "show_text.h"
#include "workbooks.h"

namespace drumlo {
namespace {

Text Entry(int index, TextView name, TextView image, TextView file, int level, TextView genre,
           TextView artist) {
  return u"<Music\r\n\tIndex=\"" + DecimalText(index) + u"\"\r\n\tName=\"" + Text(name) +
         u"\"\r\n\tImage=\"" + Text(image) + u"\"\r\n\tFile=\"" + Text(file) + u"\"\r\n\tLevel=\"" +
         DecimalText(level) + u"\"\r\n\tGenre=\"" + Text(genre) + u"\"\r\n\tArtist=\"" +
         Text(artist) + u"\"\r\n/>\r\n";
}

// Each finding as "<place> <kind> <text>", the place as the English report writes it.
std::vector<std::string> FindingLines(const RunReport& report) {
  std::vector<std::string> lines;
  for (const Finding& f : report.findings) {
    std::string line = Show(PlaceText(report, f.place, Language::kEnglish)) + " " +
                       Show(FindingKey(f.kind));
    if (!f.text.empty()) line += " " + Show(f.text);
    if (f.count != 0) line += " " + std::to_string(f.count);
    lines.push_back(line);
  }
  return lines;
}

class GenListTest : public testing::Test {
 protected:
  RunResult Run(const std::string& workbook, std::int32_t from = 5000, std::int32_t to = 9999) {
    files.Put(u"book.xml", workbook);
    return RunExisting(from, to);
  }
  RunResult RunExisting(std::int32_t from = 5000, std::int32_t to = 9999) {
    host.events.clear();
    report = RunReport();
    RunContext context{host, files, window, u"out/", false, &report};
    return GenList(u"book.xml", from, to, context);
  }
  Text File(TextView name) { return ListText(files.files.at(u"out/" + Text(name))); }
  std::vector<Text> Statuses() const { return host.Statuses(); }
  std::vector<std::string> Findings() const { return FindingLines(report); }
  std::size_t ListFileCount() const { return files.files.size() - 1; }

  RecordingHost host;
  MemoryFiles files;
  WindowSongValues window;
  RunReport report;
};

TEST_F(GenListTest, RunsOfPackagesBecomeFilesNamedAfterTheirFirstSong) {
  Run(Sheet(kHeader + Song(5001, "a") + Song(5002, "a") + Song(5003, "b") + Song(5004, "a")));
  EXPECT_EQ(ListFileCount(), 3u);
  EXPECT_EQ(Statuses(), (std::vector<Text>{u"正在读取文件book.xml...", u"正在写入文件5001...",
                                           u"正在写入文件5003...", u"读取完毕!"}));
  EXPECT_EQ(host.events.front(), u"hourglass");
  EXPECT_EQ((std::vector<Text>(host.events.end() - 3, host.events.end())),
            (std::vector<Text>{u"status:读取完毕!", u"default", u"beep"}));
  const Text first = File(u"5001.txt");
  EXPECT_EQ(first,
            Entry(5001, u"n", u"a_song/music_0.bmp", u"a_song/a_songx.xml", 0, u"", u"") +
                Entry(5002, u"n", u"a_song/music_0.bmp", u"a_song/a_songx.xml", 0, u"", u""));
  EXPECT_NE(File(u"5003.txt").find(u"Index=\"5003\""), Text::npos);
  EXPECT_NE(File(u"5004.txt").find(u"Index=\"5004\""), Text::npos);
  EXPECT_EQ(report.rows_read, 4);
  EXPECT_EQ(report.rows_accepted, 4);
}

TEST_F(GenListTest, OnePackageWritesOneFileWithoutWritingStatus) {
  Run(Sheet(kHeader + Song(5010, "a") + Song(5011, "a")));
  EXPECT_EQ(ListFileCount(), 1u);
  EXPECT_EQ(Statuses().size(), 2u);
  EXPECT_EQ(files.writes, std::vector<Text>{u"out/5010.txt"});
}

TEST_F(GenListTest, AbandonedRowKeepsWhatItsEarlierCellsSet) {
  const std::string header = Row({Cell("NAME"), Cell("INDEX"), Cell("PAK")});
  Run(Sheet(header + Row({Cell("first"), Cell("5001"), Cell("a")}) +
            Row({Cell("from abandoned row"), Cell("4999"), Cell("b")}) +
            Row({Cell("5002", 2)})));  // no NAME: takes the abandoned row's NAME
  const Text text = File(u"5001.txt");
  EXPECT_NE(text.find(u"Index=\"5002\"\r\n\tName=\"from abandoned row\""), Text::npos);
  EXPECT_EQ(ListFileCount(), 1u);  // the abandoned "b" caused no group change
}

TEST_F(GenListTest, WindowValuesCarryOverRowsAndRuns) {
  const std::string header = Row({Cell("INDEX"), Cell("ARTIST"), Cell("LV")});
  Run(Sheet(header + Row({Cell("5001"), Cell("Tom &amp; Jerry"), Cell("3.5")}) +
            Row({Cell("5002")})));
  EXPECT_NE(File(u"5001.txt")
                .find(u"Index=\"5002\"\r\n\tName=\"\"\r\n\tImage=\"/music_0.bmp\""
                      u"\r\n\tFile=\"/.xml\"\r\n\tLevel=\"7\"\r\n\tGenre=\"\"\r\n"
                      u"\tArtist=\"Tom && Jerry\""),
            Text::npos);
  files.files.clear();
  Run(Sheet(header + Row({Cell("6000")})));  // a second run in the same process
  EXPECT_NE(File(u"6000.txt").find(u"Artist=\"Tom && Jerry\""), Text::npos);
  EXPECT_NE(File(u"6000.txt").find(u"Level=\"7\""), Text::npos);
}

TEST_F(GenListTest, HeaderNamesAreUpperCasedButNotTrimmed) {
  const std::string header = Row({Cell("Index"), Cell("pak"), Cell(" NAME")});
  Run(Sheet(header + Row({Cell("5001"), Cell("a"), Cell("ignored")})));
  EXPECT_NE(File(u"5001.txt").find(u"Name=\"\""), Text::npos);
  EXPECT_NE(File(u"5001.txt").find(u"Image=\"a_song/"), Text::npos);
  const std::string lower = Row({Cell("index"), Cell("PaK")});
  Run(Sheet(lower + Row({Cell("5003"), Cell("c")})));
  EXPECT_NE(File(u"5003.txt").find(u"Image=\"c_song/"), Text::npos);
}

TEST_F(GenListTest, SsIndexPlacesCellsAndValuelessCellsDoNotShift) {
  // Header slots 0, 1, 4; the valueless cell with ss:Index 9 still counts as a cell but does
  // not move the offset, so "NAME" lands in slot 6 and "GENRE" in slot 5 of the data rows.
  const std::string header = Row({Cell("INDEX"), Cell("PAK"), Cell("XML", 5),
                                  "<Cell ss:Index=\"9\"/>", Cell("NAME"), Cell("GENRE", 6)});
  Run(Sheet(header + Row({Cell("5001"), Cell("p"), Cell("x", 5), "<Cell ss:Index=\"2\"/>",
                          Cell("song"), Cell("pop", 6)})));
  const Text text = File(u"5001.txt");
  EXPECT_NE(text.find(u"Name=\"song\"\r\n\tImage=\"p_song/music_0.bmp\"\r\n\tFile=\"p_song/"
                      u"x_song.xml\"\r\n\tLevel=\"0\"\r\n\tGenre=\"pop\""),
            Text::npos);
}

TEST_F(GenListTest, SecondWorksheetRowsAreDataRowsWithTheFirstHeader) {
  const std::string book = "<Workbook><Worksheet><Table>" + kHeader + Song(5001, "a") +
                           "</Table></Worksheet><Worksheet><Table>" + kHeader + Song(5002, "a") +
                           "</Table></Worksheet></Workbook>";
  Run(book);
  EXPECT_EQ(report.rows_read, 3);  // the second sheet's header is a data row, abandoned (INDEX 0)
  EXPECT_EQ(report.rows_accepted, 2);
  EXPECT_EQ(Findings(), std::vector<std::string>{"row 1 header_repeated"});
}

TEST_F(GenListTest, DamagedRowEndsTheDataPass) {
  Run(Sheet(kHeader + Song(5001, "a") + "<Row><Cell><Data>5002</Data></Cell></Rows>\n" +
            Song(5003, "b")));
  EXPECT_EQ(ListFileCount(), 1u);
  EXPECT_EQ(File(u"5001.txt").find(u"5003"), Text::npos);
  EXPECT_EQ(Statuses().back(), u"读取完毕!");
}

// "^ERROR" is what the element accessors give for anything missing: a row or value that reads
// exactly so counts as missing, whether the row is walked or read by the accessors (a "<" in a
// quoted attribute sends it to the accessors).
TEST_F(GenListTest, TextReadingLikeTheNotFoundTextCountsAsMissing) {
  for (const std::string row_start : {"<Row>", "<Row a='<'>"}) {
    SCOPED_TRACE(row_start);
    files.files.clear();
    Run(Sheet(kHeader + Song(5001, "a") + row_start + "^ERROR</Row>" + Song(5002, "b")));
    EXPECT_EQ(ListFileCount(), 1u);
    EXPECT_EQ(File(u"5001.txt").find(u"5002"), Text::npos);

    files.files.clear();
    Run(Sheet(kHeader + row_start + Cell("5003") + Cell("c") + Cell("x") +
              "<Cell><Data>^ERROR</Data><ss:Data>rich</ss:Data></Cell></Row>"));
    EXPECT_NE(File(u"5003.txt").find(u"Name=\"rich\""), Text::npos);

    files.files.clear();
    EXPECT_EQ(Run(Sheet(row_start + "^ERROR</Row>" + kHeader + Song(5004, "d"))).outcome,
              RunOutcome::kNoRows);
    EXPECT_EQ(ListFileCount(), 0u);
  }
}

TEST_F(GenListTest, MissingWorkbookShowsOnlyItsMessage) {
  RunContext context{host, files, window, u"out/", false, &report};
  const RunResult result = GenList(u"nope.xml", 5000, 9999, context);
  EXPECT_EQ(result.outcome, RunOutcome::kWorkbookMissing);
  EXPECT_EQ(host.events,
            (std::vector<Text>{u"hourglass", u"message:没有发现歌曲列表文件", u"default"}));
  EXPECT_TRUE(files.writes.empty());
}

TEST_F(GenListTest, WorkbookWithoutRowsIsEmpty) {
  for (const std::string& book : {std::string(), std::string("\xEF\xBB\xBF<Workbook/>")}) {
    const RunResult result = Run(book);
    EXPECT_EQ(result.outcome, RunOutcome::kNoRows);
    EXPECT_EQ(host.events, (std::vector<Text>{u"hourglass", u"status:正在读取文件book.xml...",
                                              u"status:空文件!", u"default", u"beep"}));
    EXPECT_TRUE(files.writes.empty());
  }
}

TEST_F(GenListTest, UnreadableWorkbookIsReportedNotTakenAsEmpty) {
  files.Put(u"book.xml", Sheet(kHeader + Song(5001, "a")));
  files.read_error = 32;
  const RunResult result = RunExisting();
  EXPECT_EQ(result.outcome, RunOutcome::kWorkbookUnreadable);
  EXPECT_EQ(host.events, (std::vector<Text>{u"hourglass", u"status:正在读取文件book.xml...",
                                            u"warning:无法读取歌曲列表文件: book.xml (错误代码 32: 另一个程序正在使用此文件: 请先在表格程序中关闭它)",
                                            u"default"}));
  EXPECT_TRUE(files.writes.empty());
}

TEST_F(GenListTest, FailedWritesAreListedAfterTheRunEnds) {
  files.write_errors[u"out/5001.txt"] = 5;
  files.write_errors[u"out/5003.txt"] = 112;
  const RunResult result =
      Run(Sheet(kHeader + Song(5001, "a") + Song(5002, "b") + Song(5003, "c")));
  EXPECT_EQ(result.failed_writes, 2);
  EXPECT_EQ(files.writes.size(), 3u);  // the run went on after the first failure
  EXPECT_EQ((std::vector<Text>(host.events.end() - 4, host.events.end())),
            (std::vector<Text>{u"status:读取完毕!", u"default", u"beep",
                               u"warning:以下列表文件未能写入:\nout/5001.txt (错误代码 5: 拒绝访问)\n"
                               u"out/5003.txt (错误代码 112: 磁盘已满)"}));
}

TEST_F(GenListTest, RowWithoutValuedIndexIsSkipped) {
  Run(Sheet(kHeader + Song(5001, "a") + Row({Cell("", 2)}) + "<Row><Cell/></Row>" +
            Song(5002, "a")));
  EXPECT_EQ(File(u"5001.txt").find(u"Index=\"5001\"", 20), Text::npos);  // not repeated
  EXPECT_EQ(report.rows_accepted, 2);
  EXPECT_EQ(Findings(), (std::vector<std::string>{"S row 3 no_index", "S row 4 no_index"}));
}

TEST_F(GenListTest, CellsOutsideTheTwentyOneColumnsArePassedOver) {
  const std::string header = Row({Cell("INDEX"), Cell("NAME", 21), Cell("ARTIST")});
  Run(Sheet(header + Row({Cell("5001"), Cell("x", 21), Cell("beyond"), Cell("back", 0)})));
  // "beyond" would be column 22; it names nothing and sets nothing.
  EXPECT_NE(File(u"5001.txt").find(u"Name=\"x\""), Text::npos);
  EXPECT_NE(File(u"5001.txt").find(u"Artist=\"\""), Text::npos);
  EXPECT_EQ(Findings(), (std::vector<std::string>{"S!V1 header_outside_columns ARTIST",
                                                  "S!V2 outside_columns beyond",
                                                  "S!W2 outside_columns back"}));
}

// An IMAGE or LV value that does not fit abandons its row, so that no entry carries the value
// an earlier song left; so does an INDEX. An ss:Index that does not fit passes its cell over.
TEST_F(GenListTest, ValuesThatDoNotFitAreNeverStored) {
  const std::string header = Row({Cell("INDEX"), Cell("IMAGE"), Cell("LV")});
  Run(Sheet(header + Row({Cell("5001"), Cell("7"), Cell("2")}) +
            Row({Cell("5002"), Cell("1e300")}) + Row({Cell("5003"), Cell("8"), Cell("200")}) +
            Row({Cell("3e9")}) + Row({"<Cell ss:Index=\"1e99\"><Data>9</Data></Cell>", Cell("5004", 1)})),
      1, 2147483647);
  const Text text = File(u"5001.txt");
  EXPECT_EQ(text.find(u"Index=\"5002\""), Text::npos);
  EXPECT_EQ(text.find(u"Index=\"5003\""), Text::npos);
  EXPECT_EQ(text.find(u"Index=\"3"), Text::npos);
  EXPECT_NE(text.find(u"Index=\"5004\"\r\n\tName=\"\"\r\n\tImage=\"/music_8.bmp\"\r\n\tFile=\"/"
                      u".xml\"\r\n\tLevel=\"4\""),
            Text::npos);  // IMAGE 8 stayed from the abandoned row, as values do
  EXPECT_EQ(report.rows_accepted, 2);
  EXPECT_EQ(Findings(), (std::vector<std::string>{"S!B3 image_does_not_fit 1e300",
                                                  "S!C4 level_does_not_fit 200",
                                                  "S!A5 index_does_not_fit 3e9",
                                                  "S!A6 index_attribute_does_not_fit 9"}));
}

TEST_F(GenListTest, CellNotesAreNotValues) {
  const std::string header = Row({Cell("INDEX"), Cell("NAME")});
  const std::string noted =
      "<Cell><Comment ss:Author=\"a\"><ss:Data xmlns=\"h\"><B>待定</B></ss:Data></Comment></Cell>";
  const std::string both = "<Cell><Comment><Data>note</Data></Comment><Data>real</Data></Cell>";
  Run(Sheet(header + Row({Cell("5001"), both}) + Row({Cell("5002"), noted})));
  const Text text = File(u"5001.txt");
  EXPECT_NE(text.find(u"Index=\"5001\"\r\n\tName=\"real\""), Text::npos);
  EXPECT_NE(text.find(u"Index=\"5002\"\r\n\tName=\"real\""), Text::npos);
}

TEST_F(GenListTest, RichTextValuesAreStripped) {
  const std::string header = Row({Cell("INDEX"), Cell("NAME")});
  const std::string rich =
      "<Cell><ss:Data ss:Type=\"String\" xmlns=\"http://www.w3.org/TR/REC-html40\"><B><Font "
      "html:Color=\"#FF0000\">星河</Font></B><Font>漫步 &amp; Co</Font></ss:Data></Cell>";
  Run(Sheet(header + Row({Cell("5001"), rich})));
  EXPECT_NE(File(u"5001.txt").find(u"Name=\"星河漫步 && Co\""), Text::npos);
}

TEST_F(GenListTest, LaterGroupWithTheSameFirstIdReplacesTheFile) {
  Run(Sheet(kHeader + Song(5001, "a") + Song(5001, "b")), 5000, 9999);
  EXPECT_EQ(ListFileCount(), 1u);
  ASSERT_EQ(report.files.size(), 2u);
  EXPECT_TRUE(report.files[0].replaced_later);
  EXPECT_NE(File(u"5001.txt").find(u"b_song"), Text::npos);
}

TEST_F(GenListTest, OnlyEarlierWritesOfTheSamePathAreMarkedReplaced) {
  Run(Sheet(kHeader + Song(5001, "a") + Song(5002, "b") + Song(5001, "c") + Song(5001, "d")), 5000,
      9999);
  std::vector<bool> replaced;
  for (const ListFileRecord& file : report.files)
    replaced.push_back(file.replaced_later);
  EXPECT_EQ(replaced, (std::vector<bool>{true, false, true, false}));
  EXPECT_NE(File(u"5001.txt").find(u"d_song"), Text::npos);
}

TEST_F(GenListTest, AFailedWriteIsNeverMarkedReplaced) {
  files.write_errors[u"out/5001.txt"] = 5;
  Run(Sheet(kHeader + Song(5001, "a") + Song(5001, "b")), 5000, 9999);
  ASSERT_EQ(report.files.size(), 2u);
  EXPECT_FALSE(report.files[0].replaced_later);
  EXPECT_FALSE(report.files[1].replaced_later);
}

TEST_F(GenListTest, DryRunWritesNothing) {
  host.events.clear();
  files.Put(u"book.xml", Sheet(kHeader + Song(5001, "a") + Song(5002, "b")));
  RunContext context{host, files, window, u"out/", true, &report};
  GenList(u"book.xml", 5000, 9999, context);
  EXPECT_TRUE(files.writes.empty());
  EXPECT_EQ(report.files.size(), 2u);
}

struct FindingCase {
  const char* name;
  std::string workbook;
  std::vector<std::string> findings;
};

void PrintTo(const FindingCase& c, std::ostream* os) {
  *os << c.name;
}

const std::string kWide = Row({Cell("INDEX"), Cell("PAK"), Cell("XML"), Cell("NAME"),
                               Cell("IMAGE"), Cell("LV")});

// Every kind of finding once, placed as a spreadsheet program shows the cell.
const FindingCase kFindingCases[] = {
    {"IndexZero", Sheet(kHeader + Row({Cell("0"), Cell("a")})), {"S!A2 index_zero 0"}},
    {"XmlRejected", Sheet(kHeader + Row({Cell("5001"), Cell("a"), Cell("m1")})),
     {"S!C2 xml_rejected m1"}},
    {"PakRejected", Sheet(kHeader + Row({Cell("5001"), Cell("m1")})), {"S!B2 pak_rejected m1"}},
    {"NoNumber", Sheet(kWide + Row({Cell("5001"), Cell("a"), Cell("b"), Cell("n"), Cell("x"),
                                    Cell(" &amp;H")})),
     {"S!E2 no_number x", "S!F2 no_number  &H"}},
    {"QuoteAndLineBreak",
     Sheet(kHeader + Row({Cell("5001"), Cell("a"), Cell("b"), Cell("say &quot;hi&quot;")}) +
           Row({Cell("5002"), Cell("a"), Cell("b\r\nc")}) +
           Row({Cell("5003"), Cell("a"), Cell("b"), Cell("kept &#10; as text")})),
     {"S!D2 quote_in_value say \"hi\"", "S!C3 line_break_in_value b??c"}},
    {"NoIndexColumn", Sheet(Row({Cell("PAK"), Cell("Index ", 3)}) + Song(5001, "a")),
     {"S row 1 no_index_column PAK (A), INDEX  (C)", "S row 2 no_index"}},
    {"DuplicateIdAndPackageAgain",
     Sheet(kHeader + Song(5001, "a") + Song(5002, "b") + Song(5001, "a")),
     {"S!A4 duplicate_id 5001", "S!B4 package_again a"}},
    {"WorkbookCutShort", "<Workbook><Worksheet><Table>" + kHeader + Song(5001, "a"),
     {"workbook workbook_cut_short"}},
    {"RowsEndedEarly",
     Sheet(kHeader + Song(5001, "a") + "<Row><Cell><Data>x</Data></Cell></Rows>" +
           Song(5002, "a") + Song(5003, "a")),
     {"S row 3 rows_ended_early 3"}},
};

class FindingTest : public GenListTest, public testing::WithParamInterface<FindingCase> {};

TEST_P(FindingTest, IsReportedWhereTheSpreadsheetShowsIt) {
  Run(GetParam().workbook);
  EXPECT_EQ(Findings(), GetParam().findings);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FindingTest, testing::ValuesIn(kFindingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Row numbers follow ss:Index on rows and start again on each worksheet; columns follow
// ss:Index and merged cells, valued or not; a value taken from an earlier row is summed up.
TEST_F(GenListTest, PlacesFollowTheSpreadsheetsOwnLayout) {
  const std::string book =
      "<Workbook><Worksheet ss:Name=\"One\"><Table>" + kHeader +
      "<Row ss:Index=\"5\"><Cell ss:MergeAcross=\"1\"><Data>5001</Data></Cell><Cell/>"
      "<Cell><Data>m1</Data></Cell></Row>" +
      Row({Cell("5002"), Cell("a"), Cell("b")}) +
      "</Table></Worksheet><Worksheet ss:Name=\"Two 2\"><Table>" +
      Row({Cell("5003"), Cell("a"), Cell("b"), Cell("far", 27)}) + Row({Cell("5004")}) +
      "</Table></Worksheet></Workbook>";
  Run(book);
  // The placement rule counts cells, the screen counts columns: "m1" is the row's third cell,
  // so its XML value, but shown in column D, after a cell merged across two columns.
  EXPECT_EQ(Findings(), (std::vector<std::string>{"One!D5 xml_rejected m1",
                                                  "'Two 2'!AA1 outside_columns far"}));
  ASSERT_EQ(report.carried_over.size(), 3u);  // PAK, XML and NAME of 5004; NAME of 5002, 5003
  EXPECT_EQ(report.carried_over[0].column, Column::kXml);
  EXPECT_EQ(report.carried_over[0].rows, 1);
  EXPECT_EQ(Show(PlaceText(report, report.carried_over[0].first[0], Language::kEnglish)),
            "'Two 2'!C2");
  EXPECT_EQ(report.carried_over[2].column, Column::kName);
  EXPECT_EQ(report.carried_over[2].rows, 3);
}

// A workbook read on a thread of its own, in small pieces, must give the same files, report and
// window values as one read on the run's thread.
TEST(GenListThreadsTest, ReadingThreadGivesTheSameResult) {
  const std::string header = Row({Cell("INDEX"), Cell("NAME"), Cell("ARTIST"), Cell("GENRE"),
                                  Cell("LV", 6), Cell("PAK"), Cell("XML"), Cell("IMAGE")});
  std::mt19937 rng(8);
  std::string rows;
  for (int song = 0; rows.size() < (std::size_t{1} << 20); ++song) {
    const std::string pak = "p" + std::to_string(song / 20);
    std::vector<std::string> cells = {Cell(std::to_string(5000 + song))};
    if (rng() % 5 != 0) cells.push_back(Cell("歌名 &amp; " + std::to_string(song)));
    cells.push_back(rng() % 7 == 0 ? "<Cell><ss:Data><B>rich</B> artist</ss:Data></Cell>"
                                   : Cell("Artist"));
    cells.push_back("<Cell><Data>pop</Data><Comment><ss:Data>note</ss:Data></Comment></Cell>");
    cells.push_back(Cell(std::to_string(rng() % 10) + ".5", 6));
    cells.push_back(Cell(rng() % 50 == 0 ? "m_rejected" : pak));
    cells.push_back(Cell(pak + "_" + std::to_string(song % 20)));
    if (rng() % 3 != 0) cells.push_back(Cell(std::to_string(rng() % 40)));
    rows += Row(cells);
    // Rows the walk cannot vouch for: every later row waits for the end of the workbook.
    if (rng() % 400 == 0) rows += "<Row><Cell a='<'><Data>odd</Data></Cell></Row>\n";
  }
  const std::string workbook = Sheet(header + rows);

  struct Outcome {
    std::map<Text, Bytes> files;
    RunReport report;
    Text last_name;
  };
  const auto run = [&workbook](bool reading_thread, std::size_t piece_bytes) {
    Outcome outcome;
    MemoryFiles files;
    files.Put(u"book.xml", workbook);
    files.piece_bytes = piece_bytes;
    RecordingHost host;
    WindowSongValues window;
    RunContext context{host, files, window, u"out/", false, &outcome.report};
    context.reading_thread = reading_thread;
    EXPECT_EQ(GenList(u"book.xml", 1, 2147483647, context).outcome, RunOutcome::kFinished);
    files.files.erase(u"book.xml");
    outcome.files = files.files;
    outcome.last_name = window.SongName;
    return outcome;
  };
  const Outcome one = run(false, workbook.size());
  ASSERT_GT(one.files.size(), 20u);
  for (const std::size_t piece : {std::size_t{4093}, std::size_t{65536}}) {
    const Outcome helped = run(true, piece);
    EXPECT_TRUE(one.files == helped.files) << piece;
    EXPECT_EQ(one.report.rows_read, helped.report.rows_read);
    EXPECT_EQ(one.report.rows_accepted, helped.report.rows_accepted);
    EXPECT_EQ(FindingLines(one.report), FindingLines(helped.report));
    EXPECT_EQ(one.last_name, helped.last_name);
  }
}

// A workbook that fails part way through reading: rows already taken must not lead to any list
// file, and the run ends as unreadable, on a reading thread or not.
TEST(GenListThreadsTest, ReadFailingPartWayWritesNothing) {
  std::string rows;
  for (int song = 0; rows.size() < (std::size_t{1} << 20); ++song)
    rows += Song(5000 + song, "p" + std::to_string(song / 20));
  for (const bool reading_thread : {false, true}) {
    MemoryFiles files;
    files.Put(u"book.xml", Sheet(kHeader + rows));
    files.piece_bytes = 4096;
    files.fail_after = rows.size() / 2;
    RecordingHost host;
    WindowSongValues window;
    RunReport report;
    RunContext context{host, files, window, u"out/", false, &report};
    context.reading_thread = reading_thread;
    EXPECT_EQ(GenList(u"book.xml", 1, 2147483647, context).outcome,
              RunOutcome::kWorkbookUnreadable);
    EXPECT_TRUE(files.writes.empty());
    EXPECT_EQ(report.rows_read, 0);
    EXPECT_TRUE(report.files.empty());
    EXPECT_EQ(host.events.back(), u"default");
    EXPECT_EQ(host.events[host.events.size() - 2],
              u"warning:无法读取歌曲列表文件: book.xml (错误代码 38: 文件在读取时变短了)");
  }
}

}  // namespace
}  // namespace drumlo
