// The same tables saved by LibreOffice as .xlsx and as XML Spreadsheet 2003: the .xlsx reader's
// rows must be the rows the run reads from the XML form. The XML form is read here the way the
// run reads it: each Row's Cells, placed by ss:Index, valued by Data or ss:Data with the tags
// stripped. Rows without a valued cell play no part in a run beyond its header, so they are left
// out of the comparison.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "fileio/file_access.h"
#include "fileio/utf8.h"
#include "show_text.h"
#include "workbook/xlsx_reader.h"
#include "xmlscan/element_access.h"
#include "xmlscan/scan_primitives.h"

namespace drumlo {
namespace {

namespace fs = std::filesystem;

const fs::path kTablesDir = DRUMLO_TABLES_DIR;
const fs::path kSourcesDir = fs::path(DRUMLO_SOURCE_DIR) / "tests" / "workbook" / "tables";
const std::vector<std::string> kComparedTables = {"songs", "sheets", "values", "plain"};
constexpr const char* kDifferencesTable = "known-differences";

struct Cell {
  std::uint32_t column;
  Text value;
  bool operator==(const Cell&) const = default;
};

struct Row {
  std::uint32_t sheet;
  std::uint32_t number;
  std::vector<Cell> cells;
  bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << "sheet " << row.sheet << " row " << row.number << ":";
  for (const Cell& cell : row.cells)
    *os << " [" << cell.column << "]" << EncodeUtf8(cell.value);
}

struct Workbook {
  std::vector<Text> sheets;
  std::vector<Row> rows;  // with all their rows, valued or not
};

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes the tables test fail, rather than skip, where CI expects LibreOffice's tables.
bool TablesMissing(const std::string& name) {
  const fs::path xlsx = kTablesDir / "xlsx" / (name + ".xlsx");
  const fs::path xml = kTablesDir / "xml" / (name + ".xml");
  if (fs::exists(xlsx) && fs::exists(xml)) return false;
  if (std::getenv("CI") != nullptr) ADD_FAILURE() << "no LibreOffice tables in " << kTablesDir;
  return true;
}

bool IsMissing(TextView found) {
  return found == kNotFound;
}

// LibreOffice's XML writer leaves line breaks bare; the spreadsheet program whose files the
// run is made for writes them as references, which is the form the .xlsx reader gives.
Text AsWrittenByExcel(TextView value) {
  Text out;
  for (const char16_t unit : value) {
    if (unit == u'\n') {
      out += u"&#10;";
    } else if (unit == u'\r') {
      out += u"&#13;";
    } else {
      out += unit;
    }
  }
  return out;
}

// The run's placement rule: a valued cell goes to its ss:Index, or one column after the cell
// before it counted by the cells' ordinals; a cell without a value is passed over, its ss:Index
// unused.
std::vector<Cell> PlacedCells(TextView row_content) {
  std::vector<Cell> cells;
  std::int64_t offset = 0;
  for (std::int32_t n = 1;; ++n) {
    Position cursor = 0;
    const TextView cell = GetElementFrom(row_content, u"Cell", cursor, n);
    if (IsMissing(cell)) return cells;
    TextView value = GetContent(cell, u"Data", 1);
    if (IsMissing(value)) value = GetContent(cell, u"ss:Data", 1);
    if (IsMissing(value)) continue;
    const TextView index = GetAttribute(cell, u"Cell", 1, u"ss:Index");
    if (!IsMissing(index)) offset = std::stoll(EncodeUtf8(index)) - n;
    cells.push_back({static_cast<std::uint32_t>(offset + n), AsWrittenByExcel(StripTags(value))});
  }
}

Workbook ReadXmlForm(const fs::path& path) {
  const Text document = Utf8ToText(ReadAll(path));
  Workbook book;
  Position sheet_cursor = 0;
  for (;;) {
    const TextView sheet = GetElementFrom(document, u"ss:Worksheet", sheet_cursor, 1);
    if (IsMissing(sheet)) return book;
    book.sheets.push_back(
        DecodeEntities(GetAttribute(sheet, u"ss:Worksheet", 1, u"ss:Name"), u"<>&\"'"));
    const TextView table = GetContent(sheet, u"ss:Worksheet", 1);
    std::uint32_t number = 0;
    Position row_cursor = 0;
    for (;;) {
      const TextView row = GetElementFrom(table, u"Row", row_cursor, 1);
      if (IsMissing(row)) break;
      const TextView index = GetAttribute(row, u"Row", 1, u"ss:Index");
      number =
          IsMissing(index) ? number + 1 : static_cast<std::uint32_t>(std::stoul(EncodeUtf8(index)));
      const auto sheet_number = static_cast<std::uint32_t>(book.sheets.size() - 1);
      book.rows.push_back({sheet_number, number, PlacedCells(GetContent(row, u"Row", 1))});
    }
  }
}

Workbook ReadXlsxForm(const fs::path& path) {
  const Bytes bytes = ReadAll(path);
  XlsxReader reader(bytes);
  Workbook book;
  EXPECT_EQ(reader.Open(), XlsxStatus::kOk);
  book.sheets = reader.SheetNames();
  SheetRow row;
  while (reader.NextRow(row)) {
    Row taken{row.sheet, row.number, {}};
    for (const SheetCell& cell : row.cells)
      taken.cells.push_back({cell.column, Text(cell.value)});
    book.rows.push_back(std::move(taken));
  }
  EXPECT_EQ(reader.Status(), XlsxStatus::kOk) << reader.FailedPart();
  return book;
}

std::vector<Row> ValuedRows(const Workbook& book) {
  std::vector<Row> rows;
  for (const Row& row : book.rows) {
    if (!row.cells.empty()) rows.push_back(row);
  }
  return rows;
}

class LibreOfficeTables : public testing::TestWithParam<std::string> {};

TEST_P(LibreOfficeTables, XlsxRowsAreTheRowsOfTheXmlForm) {
  const std::string& name = GetParam();
  if (TablesMissing(name)) GTEST_SKIP() << "no LibreOffice tables (soffice missing)";
  const Workbook xml = ReadXmlForm(kTablesDir / "xml" / (name + ".xml"));
  const Workbook xlsx = ReadXlsxForm(kTablesDir / "xlsx" / (name + ".xlsx"));
  EXPECT_EQ(xlsx.sheets, xml.sheets);
  const std::vector<Row> want = ValuedRows(xml);
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(ValuedRows(xlsx), want);
}

INSTANTIATE_TEST_SUITE_P(All, LibreOfficeTables, testing::ValuesIn(kComparedTables),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::erase(name, '-');
                           return name;
                         });

// Pins down the disagreements documented in the table's source, so that a change in either
// writer shows.
TEST(LibreOfficeTables, KnownDifferencesStayAsDocumented) {
  if (TablesMissing(kDifferencesTable)) GTEST_SKIP() << "no LibreOffice tables (soffice missing)";
  const Workbook xml = ReadXmlForm(kTablesDir / "xml" / (std::string(kDifferencesTable) + ".xml"));
  const Workbook xlsx =
      ReadXlsxForm(kTablesDir / "xlsx" / (std::string(kDifferencesTable) + ".xlsx"));
  ASSERT_FALSE(xml.rows.empty());
  ASSERT_FALSE(xlsx.rows.empty());
  EXPECT_TRUE(xml.rows.front().cells.empty()) << "the XML form's first Row has values";
  EXPECT_EQ(xlsx.rows.front(), (Row{0, 3, {{1, u"INDEX"}, {2, u"NAME"}}}));
  const std::vector<Row> xlsx_rows = ValuedRows(xlsx);
  const std::vector<Row> xml_rows = ValuedRows(xml);
  ASSERT_EQ(xlsx_rows.size(), 3u);
  ASSERT_EQ(xml_rows.size(), 3u);
  EXPECT_EQ(xlsx_rows[1], (Row{0, 4, {{1, u"8001"}, {5, u"E"}, {6, u"F"}}}));
  EXPECT_EQ(xml_rows[1], (Row{0, 4, {{1, u"8001"}, {3, u"E"}, {4, u"F"}}}));
  EXPECT_EQ(xlsx_rows[2], (Row{0, 5, {{1, u"x   y"}, {2, u"1E-007"}}}));
  EXPECT_EQ(xml_rows[2], (Row{0, 5, {{1, u"x    y"}, {2, u"0.0000001"}}}));
}

// A table source added to the folder must be added to the comparison too.
TEST(LibreOfficeTables, EverySourceIsCompared) {
  std::set<std::string> sources;
  for (const auto& entry : fs::directory_iterator(kSourcesDir))
    sources.insert(entry.path().stem().string());
  std::set<std::string> listed(kComparedTables.begin(), kComparedTables.end());
  listed.insert(kDifferencesTable);
  EXPECT_EQ(sources, listed);
}

}  // namespace
}  // namespace drumlo
