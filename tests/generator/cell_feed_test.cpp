// Rows placed ahead on a second thread must arrive exactly as rows placed on demand with the
// element accessors: same rows, same cells, same values, same findings, in the same order.
#include "generator/cell_feed.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>
#include "show_text.h"

namespace drumlo {
namespace {

std::vector<std::string> Readout(TextView document, CellFeed::Mode mode, bool use_walk) {
  std::vector<std::string> out;
  CellFeed feed(document, mode, use_walk);
  FedRow row;
  while (feed.NextRow(row)) {
    std::string line = "row " + std::to_string(row.number) + ":";
    for (const FedCell& cell : row.cells) {
      line += " [" + std::to_string(static_cast<int>(cell.step));
      if (cell.step == CellStep::kPlaced) {
        line += " slot " + std::to_string(cell.slot) + " " + Show(cell.value);
      } else if (cell.step == CellStep::kPassedOver) {
        line += " finding " + std::to_string(static_cast<int>(cell.finding)) + " column " +
                std::to_string(cell.finding_column);
      }
      line += "]";
    }
    out.push_back(line);
  }
  return out;
}

// Enough rows to fill many batches, with every kind of cell the placement meets: values with
// tags to strip, notes to cut, ss:Index jumps, columns outside the 21, indexes that do not fit.
Text LongWorkbook(std::uint32_t seed, int rows) {
  static const std::vector<TextView> kCells = {
      u"<Cell><Data ss:Type=\"Number\">5001</Data></Cell>",
      u"<Cell ss:Index=\"4\"><Data ss:Type=\"String\">a &amp; b</Data></Cell>",
      u"<Cell><ss:Data xmlns=\"h\"><B><Font>ri</Font></B><Font>ch</Font></ss:Data></Cell>",
      u"<Cell><Data>n</Data><Comment><ss:Data><B>note</B></ss:Data></Comment></Cell>",
      u"<Cell ss:Index=\"30\"><Data>far</Data></Cell>",
      u"<Cell ss:Index=\"1e10\"><Data>huge</Data></Cell>",
      u"<Cell ss:Index=\"-3\"><Data>before</Data></Cell>",
      u"<Cell/>",
      u"<Cell><Data/></Cell>",
      u"<Cell a='<'><Data>odd</Data></Cell>",
  };
  std::mt19937 rng(seed);
  Text text = u"<Workbook><Table>";
  for (int r = 0; r < rows; ++r) {
    text += u"<Row>";
    for (std::uint32_t c = rng() % 8; c > 0; --c)
      text += kCells[rng() % kCells.size()];
    text += u"</Row>\r\n";
  }
  return text + u"</Table></Workbook>";
}

TEST(CellFeedTest, RowsPlacedAheadMatchRowsPlacedOnDemand) {
  for (const std::uint32_t seed : {1u, 2u, 3u}) {
    const Text document = LongWorkbook(seed, 3000);
    const std::vector<std::string> want = Readout(document, CellFeed::Mode::kSameThread, false);
    ASSERT_EQ(want.size(), 3000u);
    EXPECT_EQ(Readout(document, CellFeed::Mode::kAhead, true), want);
    EXPECT_EQ(Readout(document, CellFeed::Mode::kSameThread, true), want);
  }
}

TEST(CellFeedTest, EmptyAndRowlessDocumentsGiveNoRows) {
  for (const TextView document : {TextView(u""), TextView(u"<Workbook/>"), TextView(u"<Row")}) {
    for (const CellFeed::Mode mode : {CellFeed::Mode::kSameThread, CellFeed::Mode::kAhead}) {
      CellFeed feed(document, mode);
      FedRow row;
      EXPECT_FALSE(feed.NextRow(row)) << Show(document);
    }
  }
}

TEST(CellFeedTest, DroppingAFeedEarlyStopsItsThread) {
  const Text document = LongWorkbook(4, 5000);
  CellFeed feed(document, CellFeed::Mode::kAhead);
  FedRow row;
  ASSERT_TRUE(feed.NextRow(row));
  EXPECT_EQ(row.number, 1);
  // The destructor must stop the worker while it waits for a free batch; a hang fails the test.
}

}  // namespace
}  // namespace drumlo
