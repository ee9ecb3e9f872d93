// The workbooks users have: the example saved as .xlsx by LibreOffice Calc and as UTF-16 text
// gives the list files and the report of the XML workbook; formats the tool does not read, and
// files that are no spreadsheet, are named in a message and end with exit code 6.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/cli/console.h"
#include "ci.h"
#include "fileio/file_access.h"
#include "fileio/utf8.h"
#include "tool_test_support.h"

namespace drumlo {
namespace {

namespace fs = std::filesystem;

const fs::path kExample = fs::path(DRUMLO_SOURCE_DIR) / "examples" / u8"歌曲规范总表.xml";

class FormatsTest : public testing::Test {
 protected:
  void SetUp() override {
    // Tests run as processes of their own at the same time: each takes a folder of its own.
    dir =
        fs::temp_directory_path() / ("formats_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(kExample, dir / "book.xml");
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs the tool on a workbook into a folder of its own; its JSON report with the workbook's
  // path and the folder taken out, so that reports of two workbooks compare.
  int Run(const fs::path& book, std::string& report) {
    const fs::path out = dir / ("out-" + book.filename().string());
    fs::create_directories(out);
    console = CapturingConsole();
    const int code = RunListTool(
        {u"--quiet", u"--report=json", u"--out", PathText(out), PathText(book)}, console);
    Text json = console.out;
    for (const Text& part : {JsonEscaped(PathText(book)), JsonEscaped(PathText(out))}) {
      for (std::size_t at = json.find(part); at != Text::npos; at = json.find(part, at))
        json.replace(at, part.size(), u"~");
    }
    report = EncodeUtf8(json);
    return code;
  }

  void ExpectSameAsXml(const fs::path& book, const std::string& format) {
    SCOPED_TRACE(book.filename().string());
    std::string xml_report;
    std::string report;
    ASSERT_EQ(Run(dir / "book.xml", xml_report), 0);
    ASSERT_EQ(Run(book, report), 0) << EncodeUtf8(console.err);
    EXPECT_EQ(FilesIn(dir / ("out-" + book.filename().string())), FilesIn(dir / "out-book.xml"));
    const std::string xml_format = "\"format\":\"xml-utf8\"";
    xml_report.replace(xml_report.find(xml_format), xml_format.size(),
                       "\"format\":\"" + format + "\"");
    EXPECT_EQ(report, xml_report);
  }

  fs::path dir;
  CapturingConsole console;
};

TEST_F(FormatsTest, Utf16WorkbooksReadAsTheirUtf8Form) {
  const std::string utf8 = ReadAll(kExample);
  const Text text = Utf8ToText(Bytes(utf8.begin(), utf8.end()));
  for (const bool big_endian : {false, true}) {
    Bytes bytes = TextToBytes(u"\uFEFF" + text);
    for (std::size_t k = 0; big_endian && k + 1 < bytes.size(); k += 2)
      std::swap(bytes[k], bytes[k + 1]);
    const fs::path book = dir / (big_endian ? "be.xml" : "le.xml");
    std::ofstream(book, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ExpectSameAsXml(book, big_endian ? "xml-utf16be" : "xml-utf16le");
  }
}

TEST_F(FormatsTest, XlsxFromASpreadsheetProgramReadsAsTheXmlWorkbook) {
  if (!HaveLibreOffice()) {
    if (InCi()) FAIL() << "LibreOffice (soffice) is not installed";
    GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  }
  ASSERT_TRUE(ConvertWithLibreOffice(dir / "book.xml", "xlsx", dir));
  ExpectSameAsXml(dir / "book.xlsx", "xlsx");
}

TEST_F(FormatsTest, OtherFormatsAreNamedAndWriteNothing) {
  const Text advice =
      u"\n请在表格程序中另存为 \"XML 电子表格 2003 (*.xml)\" 或 \"Excel 工作簿 (*.xlsx)\" "
      u"后重试。\n";
  std::vector<std::pair<fs::path, Text>> cases = {
      {dir / "table.csv", u"这不是电子表格文件。"},
      {dir / "blob.xml", u"这不是电子表格文件。"},
  };
  std::ofstream(dir / "table.csv") << "INDEX,PAK,XML\n5001,a,b\n";
  std::ofstream(dir / "blob.xml", std::ios::binary) << std::string("<Row>\0\0", 7);
  if (HaveLibreOffice()) {
    ASSERT_TRUE(ConvertWithLibreOffice(dir / "book.xml", "xls", dir));
    ASSERT_TRUE(ConvertWithLibreOffice(dir / "book.xml", "ods", dir));
    cases.push_back({dir / "book.xls", u"这是 Excel 97-2003 工作簿 (.xls)。"});
    cases.push_back({dir / "book.ods", u"这是 OpenDocument 电子表格 (.ods)。"});
  } else if (InCi()) {
    FAIL() << "LibreOffice (soffice) is not installed";
  }
  for (const auto& [book, sentence] : cases) {
    SCOPED_TRACE(book.filename().string());
    std::string report;
    EXPECT_EQ(Run(book, report), 6);
    EXPECT_EQ(console.err,
              u"无法识别歌曲列表文件的格式: " + PathText(book) + u"\n" + sentence + advice);
    EXPECT_NE(report.find("\"outcome\":\"unrecognised_format\""), std::string::npos);
    EXPECT_TRUE(FilesIn(dir / ("out-" + book.filename().string())).empty());
  }
}

// A workbook that was never read has no format to name.
TEST_F(FormatsTest, MissingWorkbookNamesNoFormat) {
  std::string report;
  EXPECT_EQ(Run(dir / "missing.xml", report), 2);
  EXPECT_NE(report.find("\"format\":null"), std::string::npos) << report;
}

}  // namespace
}  // namespace drumlo
