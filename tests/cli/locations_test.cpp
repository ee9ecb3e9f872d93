// The places of findings are the cells a spreadsheet program shows: the workbook is exported by
// LibreOffice Calc, sheet by sheet, and each finding's text is looked up at its place.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/report_text.h"
#include "ci.h"
#include "fileio/file_access.h"
#include "fileio/utf8.h"
#include "generator/gen_list.h"
#include "run_doubles.h"
#include "tool_test_support.h"

namespace drumlo {
namespace {

namespace fs = std::filesystem;
using Grid = std::vector<std::vector<std::string>>;

// A CSV text as LibreOffice writes it: fields quoted when they hold a comma, quote or line
// break, quotes doubled inside.
Grid ParseCsv(const std::string& csv) {
  Grid rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t k = 0; k < csv.size(); ++k) {
    const char c = csv[k];
    if (quoted && c == '"' && k + 1 < csv.size() && csv[k + 1] == '"') {
      rows.back().back() += '"';
      ++k;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      rows.back().emplace_back();
    } else if (!quoted && c == '\n') {
      rows.emplace_back(1);
    } else if (quoted || c != '\r') {
      rows.back().back() += c;
    }
  }
  return rows;
}

TEST(Locations, FindingsNameTheCellsASpreadsheetProgramShows) {
  if (!HaveLibreOffice()) {
    if (InCi()) FAIL() << "LibreOffice (soffice) is not installed";
    GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  }
  const fs::path book = fs::path(DRUMLO_SOURCE_DIR) / "tests" / "data" / "locations.xml";
  const fs::path dir = fs::temp_directory_path() / ("locations_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  // Every sheet to a CSV file of its own (the last token, -1), UTF-8 (76).
  ASSERT_TRUE(ConvertWithLibreOffice(
      book, "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1", dir));

  RecordingHost host;
  WindowSongValues window;
  RunReport report;
  RunContext context{host, SystemFiles(), window, PathText(dir) + u"/", true, &report};
  ASSERT_EQ(GenList(PathText(book), 5000, 9999, context).outcome, RunOutcome::kFinished);
  int checked = 0;
  for (const Finding& f : report.findings) {
    if (f.place.column == 0) continue;
    const std::string sheet = EncodeUtf8(report.sheets[f.place.sheet]);
    SCOPED_TRACE(sheet + " " + EncodeUtf8(PlaceText(report, f.place, Language::kEnglish)));
    const Grid grid = ParseCsv(ReadAll(dir / ("locations-" + sheet + ".csv")));
    ASSERT_LE(f.place.row, static_cast<std::int64_t>(grid.size()));
    const std::vector<std::string>& row = grid[static_cast<std::size_t>(f.place.row - 1)];
    ASSERT_LE(f.place.column, static_cast<std::int64_t>(row.size()));
    EXPECT_EQ(row[static_cast<std::size_t>(f.place.column - 1)], EncodeUtf8(f.text));
    ++checked;
  }
  EXPECT_EQ(checked, 6);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace drumlo
