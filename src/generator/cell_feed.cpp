#include "generator/cell_feed.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "generator/numeric_value.h"
#include "generator/row_reader.h"
#include "xmlscan/element_access.h"
#include "xmlscan/scan_primitives.h"

namespace drumlo {
namespace {

constexpr std::size_t kRowsPerBatch = 512;
constexpr std::size_t kBatchesAhead = 4;
// Below this many units a second thread costs more than it saves.
constexpr std::size_t kAheadFromUnits = std::size_t{1} << 20;

bool IsMissing(TextView result) {
  return result == kNotFound;
}

// The cells of a row as read: the ss:Index text and the value with its markup.
struct RawCell {
  TextView index_attr;
  TextView value;
};

// Rows read together. Values that the reader keeps in storage of its own (cells with notes)
// are copied into the batch's texts (a deque keeps their addresses while more are added).
struct Batch {
  struct Row {
    std::int32_t number;
    std::size_t first_cell;
    std::size_t cell_count;
  };
  std::vector<Row> rows;
  std::vector<RawCell> cells;
  std::deque<Text> copies;
  bool last = false;                      // no rows follow this batch
  std::optional<std::size_t> text_start;  // where the first row's content lies in the document

  void Clear() {
    rows.clear();
    cells.clear();
    copies.clear();
    last = false;
    text_start.reset();
  }
};

// Reads rows and their cells; the placement is left to the thread that takes the rows, which
// has less to do than the reading one.
class RowCollector {
 public:
  RowCollector(const DocumentSource& source, bool use_walk)
      : source_(source), reader_(source, use_walk) {}

  // Fills `batch` with the next rows; marks it last when the document has no more.
  void Fill(Batch& batch) {
    batch.Clear();
    TextView content;
    while (batch.rows.size() < kRowsPerBatch) {
      if (!reader_.NextRow(content)) {
        batch.last = true;
        return;
      }
      if (!batch.text_start && source_.Holds(content)) {
        batch.text_start = source_.OffsetOf(content.data());
      }
      CollectRow(batch);
    }
  }

 private:
  void CollectRow(Batch& batch) {
    const std::size_t first = batch.cells.size();
    CellParts cell;
    while (reader_.NextCell(cell)) {
      if (!IsMissing(cell.value) && !source_.Holds(cell.value)) {
        cell.value = batch.copies.emplace_back(cell.value);  // storage the reader reuses
      }
      batch.cells.push_back({cell.index_attr, cell.value});
    }
    batch.rows.push_back({next_number_++, first, batch.cells.size() - first});
  }

  const DocumentSource& source_;
  RowReader reader_;
  std::int32_t next_number_ = 1;
};

FedCell PassedOver(FindingKind kind, std::int32_t column) {
  FedCell fed;
  fed.step = CellStep::kPassedOver;
  fed.finding = kind;
  fed.finding_column = column;
  return fed;
}

// The SpreadsheetML placement rule: each cell takes the column after the previous one, or the
// one its ss:Index names, which also moves the cells after it. Stripped values go to `texts`.
FedCell Place(const RawCell& cell, std::int32_t i, std::int32_t& offset, std::deque<Text>& texts) {
  FedCell fed;
  if (IsMissing(cell.value)) return fed;
  if (!IsMissing(cell.index_attr)) {
    const std::optional<std::int32_t> moved =
        RoundToInt32(NumericValue(cell.index_attr) - static_cast<double>(i) - 1.0);
    if (!moved) return PassedOver(FindingKind::kValueDoesNotFit, 0);
    offset = *moved;
  }
  const std::int64_t slot = static_cast<std::int64_t>(offset) + i;
  if (slot < 0 || slot >= kColumnSlots) {
    const std::int64_t column = slot + 1;
    const bool fits = column >= 0 && column <= 0x7FFFFFFF;
    return PassedOver(FindingKind::kOutsideColumns, fits ? static_cast<std::int32_t>(column) : 0);
  }
  fed.step = CellStep::kPlaced;
  fed.slot = static_cast<std::int32_t>(slot);
  if (cell.value.find(u'<') == TextView::npos) {
    fed.value = cell.value;
  } else {
    fed.value = texts.emplace_back(StripTags(cell.value));
  }
  return fed;
}

}  // namespace

class CellFeed::Impl {
 public:
  Impl(const DocumentSource& source, bool ahead, bool use_walk)
      : source_(source), collector_(source, use_walk) {
    if (!ahead) return;
    for (std::size_t k = 0; k < kBatchesAhead; ++k)
      free_.push_back(std::make_unique<Batch>());
    try {
      worker_ = std::thread([this] { PlaceAhead(); });
    } catch (const std::system_error&) {
      free_.clear();  // no thread to be had: the rows are placed when asked for
    }
  }

  ~Impl() {
    if (!worker_.joinable()) return;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }

  bool NextRow(FedRow& row) {
    while (current_ == nullptr || next_row_ >= current_->rows.size()) {
      if (current_ != nullptr && current_->last) return false;
      TakeNextBatch();
    }
    const Batch::Row& r = current_->rows[next_row_++];
    placed_.clear();
    stripped_.clear();
    std::int32_t offset = 0;
    for (std::size_t k = 0; k < r.cell_count; ++k) {
      placed_.push_back(Place(current_->cells[r.first_cell + k], static_cast<std::int32_t>(k),
                              offset, stripped_));
    }
    row.number = r.number;
    row.cells = placed_;
    return true;
  }

 private:
  void TakeNextBatch() {
    next_row_ = 0;
    if (!worker_.joinable()) {
      if (current_ == nullptr) current_ = std::make_unique<Batch>();
      collector_.Fill(*current_);
      ReleaseTextBefore(*current_);
      return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (current_ != nullptr) free_.push_back(std::move(current_));
    changed_.notify_all();
    changed_.wait(lock, [this] { return !ready_.empty() || failure_ != nullptr; });
    if (ready_.empty()) std::rethrow_exception(failure_);
    current_ = std::move(ready_.front());
    ready_.pop_front();
    lock.unlock();
    ReleaseTextBefore(*current_);
  }

  // The rows before this batch are done with, and the reading thread is further on: the text
  // before the batch is not read again.
  void ReleaseTextBefore(const Batch& batch) {
    if (batch.text_start) source_.ReleaseBefore(*batch.text_start);
  }

  // The worker: fills free batches until the document ends or the feed is dropped.
  void PlaceAhead() {
    try {
      for (;;) {
        std::unique_ptr<Batch> batch;
        {
          std::unique_lock<std::mutex> lock(mutex_);
          changed_.wait(lock, [this] { return stopping_ || !free_.empty(); });
          if (stopping_) return;
          batch = std::move(free_.front());
          free_.pop_front();
        }
        collector_.Fill(*batch);
        const bool last = batch->last;
        {
          const std::lock_guard<std::mutex> lock(mutex_);
          ready_.push_back(std::move(batch));
        }
        changed_.notify_all();
        if (last) return;
      }
    } catch (...) {
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        failure_ = std::current_exception();
      }
      changed_.notify_all();
    }
  }

  const DocumentSource& source_;
  RowCollector collector_;
  std::vector<FedCell> placed_;  // the current row
  std::deque<Text> stripped_;
  std::unique_ptr<Batch> current_;
  std::size_t next_row_ = 0;

  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Batch>> free_;
  std::deque<std::unique_ptr<Batch>> ready_;
  std::exception_ptr failure_;
  bool stopping_ = false;
};

CellFeed::CellFeed(TextView document, Mode mode, bool use_walk)
    : owned_(std::make_unique<DocumentSource>(document)) {
  Start(*owned_, mode, use_walk);
}

CellFeed::CellFeed(const DocumentSource& source, Mode mode, bool use_walk) {
  Start(source, mode, use_walk);
}

void CellFeed::Start(const DocumentSource& source, Mode mode, bool use_walk) {
  bool ahead = mode == Mode::kAhead;
  if (mode == Mode::kAuto) {
    ahead = source.Capacity() >= kAheadFromUnits && std::thread::hardware_concurrency() > 1;
  }
  impl_ = std::make_unique<Impl>(source, ahead, use_walk);
}

CellFeed::~CellFeed() = default;

bool CellFeed::NextRow(FedRow& row) {
  return impl_->NextRow(row);
}

}  // namespace drumlo
