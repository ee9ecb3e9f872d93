// The window's side of a run: the path it takes from the path field, its report text and the
// count its menu item shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/field_path.h"
#include "app/report_text.h"
#include "app/words.h"
#include "fileio/utf8.h"
#include "generator/gen_list.h"
#include "run_doubles.h"
#include "workbooks.h"

namespace drumlo {
namespace {

struct PathCase {
  const char* name;
  TextView typed;
  TextView existing;  // a file that exists, or empty
  TextView want;
};

void PrintTo(const PathCase& c, std::ostream* os) {
  *os << c.name;
}

class WorkbookPathCases : public testing::TestWithParam<PathCase> {};

TEST_P(WorkbookPathCases, GivesThePathTheRunOpens) {
  MemoryFiles files;
  if (!GetParam().existing.empty()) files.Put(GetParam().existing, "");
  EXPECT_EQ(WorkbookPathOf(GetParam().typed, files), GetParam().want);
}

const PathCase kPathCases[] = {
    {"PlainPathUnchanged", u"C:\\表\\book.xml", u"", u"C:\\表\\book.xml"},
    {"CopiedAsPathLosesItsQuotes", u"\"C:\\song tables\\book.xml\"", u"",
     u"C:\\song tables\\book.xml"},
    {"TrailingBlanksGo", u"C:\\book.xml \t ", u"", u"C:\\book.xml"},
    {"BlanksOutsideAndInsideTheQuotesGo", u"  \"C:\\book.xml \"\t", u"", u"C:\\book.xml"},
    {"LeadingBlanksGoWhenNoFileHasThem", u"  book.xml", u"book.xml", u"book.xml"},
    {"LeadingBlanksStayWhenTheyNameAFile", u"  book.xml ", u"  book.xml ", u"  book.xml"},
    {"OnlyOnePairOfQuotesGoes", u"\"\"book.xml\"\"", u"", u"\"book.xml\""},
    {"QuoteAtOneEndStays", u"\"C:\\book.xml", u"", u"\"C:\\book.xml"},
    {"LoneQuoteStays", u"\"", u"", u"\""},
    {"TwoQuotesGiveAnEmptyPath", u"\"\"", u"", u""},
    {"BlanksOnlyGiveAnEmptyPath", u"   ", u"", u""},
    {"QuotesInsideStay", u"C:\\a\"b.xml", u"", u"C:\\a\"b.xml"},
};

INSTANTIATE_TEST_SUITE_P(Typed, WorkbookPathCases, testing::ValuesIn(kPathCases),
                         [](const auto& info) { return std::string(info.param.name); });

class WindowReportTest : public testing::Test {
 protected:
  // The run as the window makes it, with the placeholders of the expected file as the
  // workbook's path and the output folder.
  Text RunAndReport(const std::string& workbook) {
    files.Put(u"{workbook}", workbook);
    RunContext context{host, files, window, u"{folder}", false, &report};
    result = GenList(u"{workbook}", 5000, 9999, context);
    return WindowReportText(report, result, u"{time}", u"{folder}");
  }

  RecordingHost host;
  MemoryFiles files;
  WindowSongValues window;
  RunReport report;
  RunResult result;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The file holds the lines with LF ends; the window ends them with CR LF. The UI test compares
// the window's text box with the same file (DRUMLO_UPDATE_GOLDEN=1 rewrites it).
TEST_F(WindowReportTest, ExampleReportMatchesItsExpectedFile) {
  const std::filesystem::path source = DRUMLO_SOURCE_DIR;
  const std::string book = ReadAll(source / "examples" / u8"歌曲规范总表.xml");
  ASSERT_FALSE(book.empty());
  const Text text = RunAndReport(book);
  std::string got = EncodeUtf8(text);
  for (std::size_t at = got.find("\r\n"); at != std::string::npos; at = got.find("\r\n", at))
    got.erase(at, 1);
  const std::filesystem::path expected =
      source / "examples" / "expected-report" / "window-report.zh.txt";
  if (std::getenv("DRUMLO_UPDATE_GOLDEN") != nullptr)
    std::ofstream(expected, std::ios::binary) << got;
  EXPECT_EQ(got, ReadAll(expected));
  EXPECT_EQ(NoticeCount(report), 7);
  EXPECT_EQ(ReportItemText(NoticeCount(report)), u"&R.查看生成报告 (7 条提示)...");
}

TEST_F(WindowReportTest, FailedWritesCountAndShowTheirReason) {
  files.write_errors[u"{folder}5002.txt"] = 5;
  const Text text = RunAndReport(Sheet(kHeader + Song(5001, "a") + Song(5002, "b")));
  EXPECT_EQ(NoticeCount(report), 1);
  EXPECT_NE(text.find(u"\r\n  5002.txt: 1 条, 未能写入 (错误代码 5: 拒绝访问)\r\n"), Text::npos)
      << EncodeUtf8(text);
  EXPECT_NE(text.find(u"\r\n结果: 有列表文件未能写入\r\n"), Text::npos);
}

TEST_F(WindowReportTest, CarriedOverValuesDoNotCount) {
  // The second song has no NAME cell and takes the first one's.
  RunAndReport(Sheet(kHeader + Song(5001, "a") + Row({Cell("5002"), Cell("a"), Cell("ax")})));
  ASSERT_FALSE(report.carried_over.empty());
  EXPECT_EQ(NoticeCount(report), 0);
  EXPECT_EQ(ReportItemText(NoticeCount(report)), u"&R.查看生成报告...");
}

TEST_F(WindowReportTest, EmptyWorkbookReportSaysSo) {
  const Text text = RunAndReport("");
  EXPECT_TRUE(ReplacesLastReport(result));
  EXPECT_EQ(text,
            u"歌曲列表文件: {workbook}\r\n格式: xml-utf8\r\n歌曲编号: 5000 到 9999\r\n完成时间: "
            u"{time}\r\n"
            u"列表文件目录: {folder}\r\n结果: 空文件\r\n工作簿中没有任何行: 没有写入列表文件\r\n");
}

TEST_F(WindowReportTest, LineBreaksInNamesAndCellsStayOnTheirLine) {
  std::string book = Sheet(kHeader + Row({Cell("5001"), Cell("a"), Cell("ax"), Cell("b\r\nc")}));
  book.replace(book.find("ss:Name=\"S\""), 11, "ss:Name=\"S\n2\"");
  const Text text = RunAndReport(book);
  ASSERT_EQ(NoticeCount(report), 1);
  EXPECT_NE(
      text.find(
          u"\r\n  'S\u21B52'!D2: 值中含有换行: 会拆开列表文件中的条目 (\"b\u21B5\u21B5c\")\r\n"),
      Text::npos)
      << EncodeUtf8(text);
}

TEST(WindowReportTime, FieldsArePaddedToTheirWidth) {
  EXPECT_EQ(DateTimeText({2026, 3, 1, 9, 5, 7}), u"2026-03-01 09:05:07");
  EXPECT_EQ(DateTimeText({1999, 12, 31, 23, 59, 59}), u"1999-12-31 23:59:59");
}

}  // namespace
}  // namespace drumlo
