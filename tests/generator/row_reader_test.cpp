// Rows read by the walk must give exactly the rows, cells and values the accessors give.
#include "generator/row_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fileio/file_access.h"
#include "show_text.h"
#include "xmlscan/element_access.h"

namespace drumlo {
namespace {

namespace fs = std::filesystem;

// Everything the run takes from a document: per row its content, per cell its parts. Views are
// recorded by place and text, so that equal texts at other places do not pass.
std::vector<std::string> Readout(RowReader& rows, TextView document, int* walked_rows = nullptr) {
  std::vector<std::string> out;
  TextView row;
  const auto place = [&](TextView part) {
    if (part == kNotFound) return std::string("missing");
    const bool inside = part.data() >= document.data() &&
                        part.data() + part.size() <= document.data() + document.size();
    return (inside ? std::to_string(part.data() - document.data()) : std::string("copy")) + ":" +
           Show(part);
  };
  while (rows.NextRow(row)) {
    if (walked_rows != nullptr && rows.RowWalked()) ++*walked_rows;
    out.push_back("row " + place(row));
    CellParts cell;
    while (rows.NextCell(cell)) {
      out.push_back("  cell " + place(cell.whole) + " index " + place(cell.index_attr) + " value " +
                    (cell.value == kNotFound ? "missing" : Show(cell.value)));
    }
  }
  return out;
}

std::vector<std::string> Readout(TextView document, bool use_walk, int* walked_rows = nullptr) {
  RowReader rows(document, use_walk);
  return Readout(rows, document, walked_rows);
}

void ExpectSameReadout(TextView document, int* walked_rows = nullptr) {
  EXPECT_EQ(Readout(document, true, walked_rows), Readout(document, false))
      << "document: " << Show(document);
}

// Workbook-like documents: rows of cells with values, notes, rich text and ss:Index, mixed
// with the markup the walk gives up on.
Text RandomWorkbook(std::mt19937& rng) {
  static const std::vector<TextView> kCells = {
      u"<Cell><Data ss:Type=\"Number\">5001</Data></Cell>",
      u"<Cell ss:Index=\"4\" ss:StyleID=\"s1\"><Data ss:Type=\"String\">a &amp; b</Data></Cell>",
      u"<Cell ss:Index = ' 7 '><Data>x</Data></Cell>",
      u"<Cell><ss:Data xmlns=\"h\"><B><Font c=\"#F00\">ri</Font></B><Font>ch</Font></ss:Data>"
      u"</Cell>",
      u"<Cell><Data>n</Data><Comment ss:Author=\"q\"><ss:Data><B>note</B></ss:Data></Comment>"
      u"</Cell>",
      u"<Cell><Comment><Data>only a note</Data></Comment></Cell>",
      u"<Cell><ss:Data>r</ss:Data><Data>d</Data></Cell>",
      u"<Cell/>",
      u"<Cell ss:Index=\"2\"/>",
      u"<Cell><Data/></Cell>",
      u"<Cell><Cell><Data>inner</Data></Cell></Cell>",
      u"<Cellar><Data>not a cell</Data></Cellar>",
      u"<NamedCell ss:Name=\"x\"/>",
      u"<!-- <Cell><Data>in a comment</Data></Cell> -->",
      u"\r\n    ",
  };
  static const std::vector<TextView> kDisturbances = {
      u"<?pi </Row> ?>",
      u"<Cell a='<'>",
      u"</Data>",
      u"</Rows>",
      u"<RowSet></RowSet>",
      u"<Row>",
      u"</Row >",
      u"<Cell",
      u"<a-b>",
      u"< x>",
      u"<Cell/ x>",
      u"'",
      u"\"",
      u"<B><B></B></B>",
      u"<Comment>",
      u"</Cell>",
  };
  const auto roll = [&rng](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  Text text = u"<?xml version=\"1.0\"?>\r\n<Workbook><Worksheet><Table>\r\n";
  for (std::size_t rows = 1 + roll(4); rows > 0; --rows) {
    text += roll(4) == 0 ? u"<Row ss:AutoFitHeight=\"0\">\r\n" : u"<Row>";
    for (std::size_t cells = roll(7); cells > 0; --cells) {
      text += kCells[roll(kCells.size())];
      if (roll(15) == 0) text += kDisturbances[roll(kDisturbances.size())];
    }
    text += roll(12) == 0 ? u"</Row\t>" : u"</Row>\r\n";
  }
  text += u"</Table></Worksheet></Workbook>";
  if (roll(8) == 0) text.resize(roll(text.size() + 1));
  return text;
}

TEST(RowReaderTest, WalkedRowsReadAsTheAccessorsReadThem) {
  std::mt19937 rng(2026);
  int walked_rows = 0;
  for (int round = 0; round < 3000 && !HasFailure(); ++round)
    ExpectSameReadout(RandomWorkbook(rng), &walked_rows);
  EXPECT_GT(walked_rows, 3000);  // most rows take the walk, so it is really compared
}

// A document that arrives piece by piece, as from a decoding thread: rows are read from the
// part already there, and must come out as from the whole text.
TEST(RowReaderTest, GrowingDocumentReadsAsTheWholeText) {
  std::mt19937 rng(77);
  for (int round = 0; round < 300 && !HasFailure(); ++round) {
    Text document;
    for (int k = 0; k < 8; ++k)
      document += RandomWorkbook(rng);
    const std::vector<std::string> want = Readout(document, false);
    DocumentSource source;
    source.Begin(document.data(), document.size());
    std::thread writer([&source, size = document.size(), seed = rng()] {
      std::mt19937 steps(seed);
      std::size_t length = 0;
      while (length < size) {
        length = std::min(size, length + 1 + steps() % 40);
        source.Publish(length);
        if (steps() % 4 == 0) std::this_thread::yield();
      }
      source.Finish(size);
    });
    RowReader rows(source);
    const std::vector<std::string> got = Readout(rows, document);
    writer.join();
    EXPECT_EQ(got, want) << "document: " << Show(document);
  }
}

TEST(RowReaderTest, CorpusWorkbooksReadAlike) {
  int files = 0;
  for (const char* set : {"real", "songtable"}) {
    const fs::path dir = fs::path(DRUMLO_CORPUS_DIR) / set;
    if (!fs::is_directory(dir)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
      if (entry.path().extension() != ".xml") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      SCOPED_TRACE(entry.path().string());
      ExpectSameReadout(Utf8ToText(bytes));
      ++files;
    }
  }
  if (files == 0) GTEST_SKIP() << "no corpus at " << DRUMLO_CORPUS_DIR;
}

TEST(RowReaderTest, ExampleWorkbookReadsAlike) {
  std::ifstream in(fs::path(DRUMLO_SOURCE_DIR) / "examples" / fs::path(u8"歌曲规范总表.xml"),
                   std::ios::binary);
  const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(bytes.empty());
  int walked_rows = 0;
  ExpectSameReadout(Utf8ToText(bytes), &walked_rows);
  EXPECT_GT(walked_rows, 40);
}

}  // namespace
}  // namespace drumlo
