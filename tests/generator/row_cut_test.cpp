// Rows cut by the walk must be exactly the rows the element accessors cut, and the reader that
// cuts rows from a text arriving in pieces must hand over the rows of the whole text.
#include "generator/row_cut.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "ci.h"
#include "fileio/utf8.h"
#include "generator/row_source.h"
#include "run_doubles.h"
#include "show_text.h"
#include "workbooks.h"
#include "xmlscan/element_access.h"

namespace drumlo {
namespace {

namespace fs = std::filesystem;

// Everything a batch says of its rows: the worksheets begun in it, then a line per row or cell;
// absent texts as "-".
void Readout(const RowBatch& batch, std::vector<std::string>& out) {
  const auto show = [](TextView t) { return t == kNotFound ? std::string("-") : Show(t); };
  for (const Text& sheet : batch.NewSheets())
    out.push_back("sheet " + Show(sheet));
  Text stripped;
  for (const BatchRow& row : batch.Rows()) {
    out.push_back("row in " + std::to_string(row.sheet) + " index " +
                  (row.index.Present() ? Show(batch.TextOf(row.index)) : "-"));
    for (const BatchCell& batch_cell : batch.CellsOf(row)) {
      const CellFacts cell = batch.FactsOf(batch_cell, stripped);
      out.push_back("  cell " + (cell.has_value ? Show(cell.value) : "-") + " index " +
                    show(cell.index) + " merge " + show(cell.merge_across));
    }
  }
}

// Cuts every row of a whole text, by the walk where it can vouch for a row or by the accessors
// alone; counts the rows the walk cut.
std::vector<std::string> CutAll(TextView text, bool walk, int* walked = nullptr) {
  RowBatch batch;
  ElementWalk walker;
  DocumentScanner document(text);
  std::size_t from = 0;
  for (;;) {
    const std::size_t start = FindStartTag(text, from, u"Row");
    if (start == TextView::npos) break;
    std::size_t next = 0;
    RowCut cut = walk ? CutWalkedRow(text, start, 0, walker, batch, next) : RowCut::kNeedWholeText;
    if (cut == RowCut::kCut && walked != nullptr) ++*walked;
    if (cut == RowCut::kNeedMoreText || cut == RowCut::kNeedWholeText) {
      cut = CutAccessedRow(document, from, 0, batch, next);
    }
    if (cut == RowCut::kNoRow) break;
    from = next;
  }
  std::vector<std::string> out;
  Readout(batch, out);
  return out;
}

void ExpectWalkAgrees(TextView text, int* walked = nullptr) {
  EXPECT_EQ(CutAll(text, true, walked), CutAll(text, false)) << "document: " << Show(text);
}

TEST(RowCutTest, WalkedRowsAreTheRowsTheAccessorsCut) {
  std::mt19937 rng(2026);
  int walked = 0;
  for (int round = 0; round < 3000 && !HasFailure(); ++round)
    ExpectWalkAgrees(RandomWorkbook(rng), &walked);
  EXPECT_GT(walked, 3000);  // most rows take the walk, so it is really compared
}

// The rows a reader hands over, with the worksheets they lie in.
std::vector<std::string> SourceReadout(MemoryFiles& files, bool own_thread) {
  RowSource source(files, u"book.xml", own_thread, nullptr);
  std::vector<std::string> out;
  RowBatch batch;
  while (source.Next(batch))
    Readout(batch, out);
  EXPECT_EQ(source.ReadResult(), kErrorSuccess);
  return out;
}

TEST(RowSourceTest, PiecesOnAnyThreadGiveTheRowsOfTheWholeText) {
  std::mt19937 rng(77);
  for (int round = 0; round < 200 && !HasFailure(); ++round) {
    Text document;
    for (int k = 0; k < 8; ++k)
      document += RandomWorkbook(rng);
    MemoryFiles files;
    files.Put(u"book.xml", EncodeUtf8(document));
    const std::vector<std::string> whole = SourceReadout(files, false);
    files.piece_bytes = 1 + rng() % 64;
    EXPECT_EQ(SourceReadout(files, round % 2 == 0), whole) << "document: " << Show(document);
    // Without the worksheets, the rows are those the accessors cut from the whole text.
    std::vector<std::string> rows;
    for (std::string line : whole) {
      if (line.starts_with("sheet")) continue;
      if (line.starts_with("row")) line = "row in 0" + line.substr(line.find(" index"));
      rows.push_back(line);
    }
    EXPECT_EQ(rows, CutAll(Utf8ToText(files.files.at(u"book.xml")), false));
  }
}

TEST(RowSourceTest, RowsKnowTheWorksheetTheyLieIn) {
  MemoryFiles files;
  files.Put(u"book.xml",
            "<Workbook><Worksheet ss:Name=\"歌曲 &amp; 1\"><Table><Row><Cell><Data>a</Data></Cell>"
            "</Row></Table></Worksheet><Worksheet><Table><Row ss:Index=\"4\"/></Table>"
            "</Worksheet></Workbook>");
  files.piece_bytes = 7;
  EXPECT_EQ(SourceReadout(files, true),
            (std::vector<std::string>{"sheet ?? &amp; 1", "sheet ", "row in 1 index -",
                                      "  cell a index - merge -", "row in 2 index 4"}));
}

TEST(RowCutTest, CorpusAndExampleWorkbooksCutAlike) {
  std::vector<fs::path> books = {fs::path(DRUMLO_SOURCE_DIR) / "examples" /
                                 fs::path(u8"歌曲规范总表.xml")};
  for (const char* set : {"real", "songtable"}) {
    const fs::path dir = fs::path(DRUMLO_CORPUS_DIR) / set;
    if (!fs::is_directory(dir)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
      if (entry.path().extension() == ".xml") books.push_back(entry.path());
    }
  }
  if (InCi()) {
    EXPECT_GT(books.size(), 20u) << "no corpus at " << DRUMLO_CORPUS_DIR;
  }
  for (const fs::path& book : books) {
    std::ifstream in(book, std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    SCOPED_TRACE(book.string());
    ASSERT_FALSE(bytes.empty());
    const Text text = Utf8ToText(bytes);
    int walked = 0;
    ExpectWalkAgrees(text, &walked);
    if (text.find(u"<Row") != Text::npos) {
      EXPECT_GT(walked, 0);
    }
  }
}

}  // namespace
}  // namespace drumlo
