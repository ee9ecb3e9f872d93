// Rows placed ahead on a second thread must arrive exactly as rows placed on demand with the
// element accessors: same rows, same cells, same values, same findings, in the same order.
#include "generator/cell_feed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fileio/text_memory.h"
#include "fileio/utf8.h"
#include "generator/workbook_reader.h"
#include "show_text.h"

namespace drumlo {
namespace {

std::vector<std::string> Readout(CellFeed& feed) {
  std::vector<std::string> out;
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

std::vector<std::string> Readout(TextView document, CellFeed::Mode mode, bool use_walk) {
  CellFeed feed(document, mode, use_walk);
  return Readout(feed);
}

// Enough rows to fill many batches, with every kind of cell the placement meets: values with
// tags to strip, notes to cut, ss:Index jumps, columns outside the 21, indexes that do not fit.
// `walkable` leaves out the cells the walk gives up on, which wait for the whole text.
Text LongWorkbook(std::uint32_t seed, int rows, bool walkable = false) {
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
      u"<Cell a='<'><Data>odd</Data></Cell>",  // last: left out of walkable workbooks
  };
  std::mt19937 rng(seed);
  Text text = u"<Workbook><Table>";
  for (int r = 0; r < rows; ++r) {
    text += u"<Row>";
    for (std::uint32_t c = rng() % 8; c > 0; --c)
      text += kCells[rng() % (kCells.size() - (walkable ? 1 : 0))];
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

// A workbook read in pieces that wait for the rows to be taken, so that the text before the
// rows taken is released while most of the file is still to come.
class PacedFiles : public FileAccess {
 public:
  explicit PacedFiles(std::string workbook) : workbook_(std::move(workbook)) {}
  bool Exists(TextView) override { return true; }
  std::int32_t Read(TextView, Bytes& buffer) override {
    buffer.assign(workbook_.begin(), workbook_.end());
    return 0;
  }
  std::int32_t Write(TextView, std::span<const std::uint8_t>) override { return 0; }
  std::int32_t ReadPieces(TextView, PieceSink& sink) override {
    constexpr std::size_t kPiece = 256 * 1024;
    constexpr std::size_t kLead = 3 * TextMemory::kBlockUnits;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(workbook_.data());
    sink.Size(workbook_.size());
    for (std::size_t at = 0; at < workbook_.size(); at += kPiece) {
      WaitForReleaseTo(at > kLead ? at - kLead : 0);
      sink.Piece(std::span(bytes + at, std::min(kPiece, workbook_.size() - at)));
    }
    return 0;
  }
  std::atomic<const DocumentSource*> source{nullptr};

 private:
  // Bounded, so that a feed that never releases fails the test rather than hanging it.
  void WaitForReleaseTo(std::size_t offset) const {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < give_up) {
      const DocumentSource* s = source.load();
      if (offset == 0 || (s != nullptr && s->Released() >= offset)) return;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }

  std::string workbook_;
};

bool PlatformMovesBlocks() {
  const std::unique_ptr<TextMemory> probe = TextMemory::Reserve(2 * TextMemory::kBlockUnits);
  return probe != nullptr && probe->MoveBlock(0, 1);
}

TEST(CellFeedTest, RowsMatchWhenTheMemoryOfTakenRowsServesTheRest) {
  const Text document = LongWorkbook(4, 30000, true);
  ASSERT_GT(document.size(), 5 * TextMemory::kBlockUnits);
  const std::vector<std::string> want = Readout(document, CellFeed::Mode::kSameThread, false);
  PacedFiles files(EncodeUtf8(document));
  WorkbookReader workbook(files, u"book.xml", true, nullptr);
  files.source = &workbook.Source();
  ASSERT_TRUE(workbook.WaitUntilBegun());
  {
    CellFeed feed(workbook.Source(), CellFeed::Mode::kAhead);
    EXPECT_EQ(Readout(feed), want);
  }
  EXPECT_EQ(workbook.Result(), 0);
  if (!PlatformMovesBlocks()) return;
  // The first block was handed on: the place where "<Workbook>" was now reads as zeros.
  bool complete = false;
  const TextView text = workbook.Source().Now(complete);
  EXPECT_TRUE(complete);
  EXPECT_EQ(text.substr(0, 10), Text(10, u'\0'));
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
