#include "generator/row_source.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "fileio/workbook_format.h"
#include "generator/row_cut.h"
#include "generator/song_rules.h"
#include "workbook/xlsx_reader.h"
#include "xmlscan/element_access.h"
#include "xmlscan/scan_primitives.h"
#include "xmlscan/unit_search.h"

namespace drumlo {
namespace {

// Batches the reader may have filled before the run takes them.
constexpr std::size_t kBatchesAhead = 4;
constexpr TextView kRowName = u"Row";
constexpr TextView kWorksheetName = u"Worksheet";
constexpr TextView kWorkbookEnd = u"</Workbook";

}  // namespace

class RowSource::Reader final : public PieceSink {
 public:
  Reader(FileAccess& files, TextView path, RunTimings* timings)
      : files_(files), path_(path), timings_(timings) {}

  ~Reader() override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  void Start(bool own_thread) {
    if (!own_thread) return;
    // Set before the thread starts, which reads it; thread_ itself is written only after.
    reading_thread_ = true;
    try {
      thread_ = std::thread([this] {
        Produce();
        ReleaseScannerBuffers();
      });
      if (timings_ != nullptr) timings_->read_alongside_scan = true;
    } catch (const std::system_error&) {
      reading_thread_ = false;  // no thread to be had: rows are read when the run asks for them
    }
  }

  bool Next(RowBatch& batch) {
    if (!reading_thread_ && !produced_) {
      produced_ = true;
      Produce();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
    if (ready_.empty()) return false;
    std::unique_ptr<RowBatch> taken = std::move(ready_.front());
    ready_.pop_front();
    std::swap(batch, *taken);
    spare_.push_back(std::move(taken));
    lock.unlock();
    changed_.notify_all();
    return true;
  }

  bool ReadWhole() const { return read_whole_.load(std::memory_order_acquire); }

  RowsEnd End() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return end_;
  }

  std::int32_t ReadResult() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return read_ended_; });
    return read_result_;
  }

  std::optional<WorkbookFormat> Format() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return format_;
  }

  bool Size(std::size_t) override { return true; }

  // The first bytes tell the format; text is decoded and cut as it comes, an archive or a
  // compound file is gathered whole.
  void Piece(std::span<const std::uint8_t> bytes) override {
    if (Stopping()) return;  // the run has gone: the rest of the file is only read through
    switch (phase_) {
      case Phase::kHead:
        head_.insert(head_.end(), bytes.begin(), bytes.end());
        if (head_.size() >= kTextProbeBytes) TellFormat();
        return;
      case Phase::kText:
        TakeText(bytes, false);
        return;
      case Phase::kWhole:
        head_.insert(head_.end(), bytes.begin(), bytes.end());
        return;
      case Phase::kRefused:
        return;
    }
  }

 private:
  enum class Phase { kHead, kText, kWhole, kRefused };

  void TellFormat() {
    phase_ = Phase::kWhole;
    if (SignatureOf(head_) != FileSignature::kText) return;
    const WorkbookFormat format =
        TextFormatOf(std::span(head_).first(std::min(head_.size(), kTextProbeBytes)));
    SetFormat(format);
    if (format == WorkbookFormat::kNotWorkbook) {
      phase_ = Phase::kRefused;
      return;
    }
    phase_ = Phase::kText;
    decoder_.emplace(format);
    Bytes head;
    head.swap(head_);
    TakeText(head, false);
  }

  void TakeText(std::span<const std::uint8_t> bytes, bool at_end) {
    {
      const PhaseClock clock(&decode_seconds_);
      decoder_->Add(bytes, window_);
      if (at_end) decoder_->Finish(window_);
    }
    if (!rows_ended_) CutRows(at_end);
    if (rows_ended_) CountRowsLeft(at_end);
    DropBehindCursor();
  }

  void SetFormat(WorkbookFormat format) {
    const std::lock_guard<std::mutex> lock(mutex_);
    format_ = format;
  }

  // Reads the whole file, cutting rows as the text comes, then the rows left at its end. An
  // archive's rows are taken once it is there whole; the read counts as done only once they
  // are, since a damaged part can still fail it.
  void Produce() {
    std::int32_t code = kErrorSuccess;
    double whole_seconds = 0;
    try {
      {
        const PhaseClock clock(&whole_seconds);
        code = files_.ReadPieces(path_, *this);
        if (code == kErrorSuccess && phase_ == Phase::kHead) TellFormat();
        if (code == kErrorSuccess && phase_ == Phase::kText) TakeText({}, true);
      }
      if (code == kErrorSuccess && phase_ == Phase::kWhole) code = TakeWholeWorkbook();
      EndReading(code, whole_seconds);
      if (!filling_.Rows().empty()) Deliver();
    } catch (const std::bad_alloc&) {
      EndReading(kErrorNotEnoughMemory, whole_seconds);
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    changed_.notify_all();
  }

  // A zip archive or a compound file: an .xlsx workbook's rows, or a format the run refuses.
  std::int32_t TakeWholeWorkbook() {
    SetFormat(DetectWorkbookFormat(head_));
    if (format_ != WorkbookFormat::kXlsx) return kErrorSuccess;
    XlsxReader reader(head_);
    XlsxStatus status = reader.Open();
    if (status == XlsxStatus::kOk) {
      for (const Text& name : reader.SheetNames())
        filling_.AddSheet(name);
      SheetRow row;
      while (reader.NextRow(row)) {
        filling_.AddRow(row.sheet + 1, DecimalText(row.number));
        for (const SheetCell& cell : row.cells)
          filling_.AddCell(cell.value, u" ss:Index=\"" + DecimalText(cell.column) + u"\"");
        if (filling_.Full()) Deliver();
      }
      status = reader.Status();
    }
    end_.workbook_closed = true;
    return CodeOf(status);
  }

  static std::int32_t CodeOf(XlsxStatus status) {
    switch (status) {
      case XlsxStatus::kOk:
        return kErrorSuccess;
      case XlsxStatus::kTooLarge:
        return kErrorFileTooLarge;
      case XlsxStatus::kNotEnoughMemory:
        return kErrorNotEnoughMemory;
      default:
        return kErrorFileCorrupt;
    }
  }

  void EndReading(std::int32_t code, double whole_seconds) {
    if (timings_ != nullptr) {
      timings_->decode = decode_seconds_;
      timings_->read = whole_seconds - decode_seconds_ - cut_seconds_;
    }
    read_whole_.store(code == kErrorSuccess, std::memory_order_release);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      read_ended_ = true;
      read_result_ = code;
    }
    changed_.notify_all();
  }

  // Cuts every row the window holds whole. A row the walk cannot vouch for waits until the
  // window reaches the end of the workbook (`at_end`), where the accessors read it.
  void CutRows(bool at_end) {
    const PhaseClock clock(at_end ? nullptr : &cut_seconds_);
    while (!rows_ended_) {
      if (!at_end && (whole_text_needed_ || window_.size() < retry_at_)) return;
      const std::size_t start =
          FindStartTag(window_, std::max(cursor_, row_search_from_), kRowName);
      if (start == TextView::npos) {
        if (at_end) {
          cursor_ = NoteGap(cursor_, window_.size(), true);
          return;
        }
        // No row begins before the last few units, which a later piece may complete.
        row_search_from_ = UndecidedFrom(kRowName);
        cursor_ = NoteGap(cursor_, std::min(row_search_from_, UndecidedFrom(kWorkbookEnd)), false);
        return;
      }
      cursor_ = NoteGap(cursor_, start, at_end);
      std::size_t next = 0;
      RowCut cut = CutWalkedRow(window_, start, sheet_, walk_, filling_, next);
      if (cut == RowCut::kNeedMoreText && !at_end) {
        // Tried again once the window has grown by as much as this try went through.
        retry_at_ = window_.size() + (window_.size() - start);
        return;
      }
      if (cut == RowCut::kNeedWholeText && !at_end) {
        whole_text_needed_ = true;
        return;
      }
      if (cut == RowCut::kNeedMoreText || cut == RowCut::kNeedWholeText) {
        // The window now holds the rest of the workbook and changes no more: one scanner
        // serves every row the walk leaves to the accessors.
        if (!whole_text_) whole_text_.emplace(window_);
        cut = CutAccessedRow(*whole_text_, cursor_, sheet_, filling_, next);
      }
      if (cut == RowCut::kNoRow) {
        // A row that cannot be read ends the rows; the rest of the workbook is only counted.
        rows_ended_ = true;
        end_.early = true;
        end_.sheet = sheet_;
        cursor_ = start;
        return;
      }
      cursor_ = next;
      retry_at_ = 0;
      end_.workbook_closed = false;
      if (filling_.Full()) Deliver();
    }
  }

  // Counts the row start tags from the cursor on, the one that could not be read included.
  void CountRowsLeft(bool at_end) {
    const std::size_t until = at_end ? window_.size() : UndecidedFrom(kWorkbookEnd);
    const TextView decided = TextView(window_).substr(0, until + kWorkbookEnd.size() - 1);
    for (std::size_t tag = FindStartTag(window_, cursor_, kRowName); tag < until;
         tag = FindStartTag(window_, tag + 1, kRowName)) {
      ++end_.rows_left;
    }
    if (FindText(decided, cursor_, kWorkbookEnd) != kNoUnit) end_.workbook_closed = true;
    cursor_ = std::max(cursor_, until);
  }

  // Notes what lies between rows in [from, to): the worksheets begun there, and the workbook's
  // end tag. Returns `to`, or the start of a worksheet tag whose end may still come.
  std::size_t NoteGap(std::size_t from, std::size_t to, bool at_end) {
    const std::size_t noted = NoteSheets(from, to, at_end);
    const TextView gap = TextView(window_).substr(0, noted + kWorkbookEnd.size() - 1);
    if (FindText(gap, from, kWorkbookEnd) != kNoUnit) end_.workbook_closed = true;
    return noted;
  }

  // Notes the worksheets whose start tags begin in [from, to), for the places of later rows;
  // returns `to`, or the start of a tag whose end may still come.
  std::size_t NoteSheets(std::size_t from, std::size_t to, bool at_end) {
    constexpr std::size_t kLongestTag = std::size_t{1} << 16;
    for (;;) {
      // A tag that begins before `to` ends before the next "<", which a row start tag at `to`
      // is, or within the units that UndecidedFrom keeps.
      const TextView near = TextView(window_).substr(0, to + kWorksheetName.size() + 2);
      const std::size_t tag = FindStartTag(near, from, kWorksheetName);
      if (tag == TextView::npos || tag >= to) return to;
      const std::size_t name_end = tag + 1 + kWorksheetName.size();
      const Position gt = FindUnquoted(static_cast<Position>(name_end + 1), window_, u'>');
      if (gt == 0 && !at_end && window_.size() - tag < kLongestTag) return tag;
      TextView name;
      if (gt != 0) {
        const TextView region =
            TextView(window_).substr(name_end, static_cast<std::size_t>(gt - 1) - name_end);
        name = AttributeValueIn(region, u"ss:Name");
        if (name == kNotFound) name = TextView();
      }
      filling_.AddSheet(name);
      ++sheet_;
      from = name_end;
    }
  }

  // Where a start tag of `name` might begin that the window cannot tell yet: its "<", the name
  // and the unit after it must all be there.
  std::size_t UndecidedFrom(TextView name) const {
    return std::max(cursor_, window_.size() - std::min(window_.size(), name.size() + 1));
  }

  // The text before the row cursor is never searched again.
  void DropBehindCursor() {
    if (cursor_ == 0) return;
    whole_text_.reset();  // it reads the window as it was
    window_.erase(0, cursor_);
    row_search_from_ -= std::min(row_search_from_, cursor_);
    retry_at_ -= std::min(retry_at_, cursor_);
    cursor_ = 0;
  }

  // Hands the filled batch to the run and takes an empty one, waiting while the run is
  // kBatchesAhead batches behind.
  void Deliver() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.push_back(std::make_unique<RowBatch>(std::move(filling_)));
    changed_.notify_all();
    if (reading_thread_) {
      changed_.wait(lock, [this] { return stopping_ || ready_.size() < kBatchesAhead; });
    }
    if (!spare_.empty()) {
      filling_ = std::move(*spare_.back());
      spare_.pop_back();
    }
    filling_.Clear();
  }

  bool Stopping() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return stopping_;
  }

  FileAccess& files_;
  const Text path_;
  RunTimings* timings_;

  // The reading side.
  Phase phase_ = Phase::kHead;
  std::optional<WorkbookFormat> format_;  // none until the first bytes have been read
  Bytes head_;                            // the first bytes, or the whole file of an archive
  std::optional<WorkbookTextDecoder> decoder_;
  Text window_;                      // the workbook's text from the row cursor on
  std::size_t cursor_ = 0;           // in the window: where the search for the next row begins
  std::size_t row_search_from_ = 0;  // no row start tag begins before this
  std::size_t retry_at_ = 0;         // the window size at which a cut-short row is walked again
  bool whole_text_needed_ = false;
  std::optional<DocumentScanner> whole_text_;  // over the window, once it holds the whole rest
  bool rows_ended_ = false;
  RowsEnd end_;
  std::uint32_t sheet_ = 0;
  ElementWalk walk_;
  RowBatch filling_;
  double decode_seconds_ = 0;
  double cut_seconds_ = 0;
  bool produced_ = false;
  bool reading_thread_ = false;

  // The hand-off.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<RowBatch>> ready_;
  std::vector<std::unique_ptr<RowBatch>> spare_;
  bool finished_ = false;
  bool stopping_ = false;
  bool read_ended_ = false;
  std::int32_t read_result_ = kErrorSuccess;
  std::atomic<bool> read_whole_{false};
  std::thread thread_;  // last: started when everything it uses is there
};

RowSource::RowSource(FileAccess& files, TextView path, bool own_thread, RunTimings* timings)
    : reader_(std::make_unique<Reader>(files, path, timings)) {
  reader_->Start(own_thread);
}

RowSource::~RowSource() = default;

bool RowSource::Next(RowBatch& batch) {
  return reader_->Next(batch);
}

bool RowSource::ReadWhole() const {
  return reader_->ReadWhole();
}

std::int32_t RowSource::ReadResult() {
  return reader_->ReadResult();
}

RowsEnd RowSource::End() {
  return reader_->End();
}

std::optional<WorkbookFormat> RowSource::Format() {
  return reader_->Format();
}

}  // namespace drumlo
