#include "generator/list_writer.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "generator/phase_clock.h"

namespace drumlo {

class ListWriter::Impl {
 public:
  Impl(FileAccess& files, WorkbookReader& workbook, bool own_thread, RunTimings* timings)
      : files_(files), workbook_(workbook), timings_(timings) {
    if (!own_thread) return;
    try {
      thread_ = std::jthread([this] { WriteAlongside(); });
      if (timings_ != nullptr) timings_->write_alongside_scan = true;
    } catch (const std::system_error&) {
      // No thread to be had: files are written by the thread that gives them.
    }
  }

  ~Impl() { Close(); }

  void Add(Text path, Text text) {
    if (thread_.joinable()) {
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({std::move(path), std::move(text)});
      }
      added_.notify_one();
      return;
    }
    queue_.push_back({std::move(path), std::move(text)});
    // Until the workbook has been read whole the files are held here.
    if (workbook_.Ended()) WriteQueued();
  }

  std::vector<std::int32_t> Finish() {
    if (thread_.joinable()) {
      Close();
    } else {
      WriteQueued();
    }
    return std::move(codes_);
  }

 private:
  struct ListFile {
    Text path;
    Text text;
  };

  void Close() {
    if (!thread_.joinable()) return;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    added_.notify_one();
    thread_.join();
  }

  void WriteAlongside() {
    const bool read_whole = workbook_.Result() == kErrorSuccess;
    for (;;) {
      ListFile file;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        added_.wait(lock, [this] { return closed_ || !queue_.empty(); });
        if (queue_.empty()) return;
        file = std::move(queue_.front());
        queue_.pop_front();
      }
      if (read_whole) Write(file);
    }
  }

  void WriteQueued() {
    if (workbook_.Result() == kErrorSuccess) {
      for (const ListFile& file : queue_)
        Write(file);
    }
    queue_.clear();
  }

  void Write(const ListFile& file) {
    Bytes scratch;
    std::span<const std::uint8_t> bytes;
    {
      const PhaseClock clock(PhaseTotal(timings_, &RunTimings::encode));
      bytes = TextAsBytes(file.text, scratch);
    }
    const PhaseClock clock(PhaseTotal(timings_, &RunTimings::write));
    codes_.push_back(files_.Write(file.path, bytes));
  }

  FileAccess& files_;
  WorkbookReader& workbook_;
  RunTimings* timings_;
  std::vector<std::int32_t> codes_;  // kept by the writing thread until Finish

  std::mutex mutex_;
  std::condition_variable added_;
  std::deque<ListFile> queue_;
  bool closed_ = false;
  std::jthread thread_;  // last: started when everything it uses is there
};

ListWriter::ListWriter(FileAccess& files, WorkbookReader& workbook, bool own_thread,
                       RunTimings* timings)
    : impl_(std::make_unique<Impl>(files, workbook, own_thread, timings)) {}

ListWriter::~ListWriter() = default;

void ListWriter::Add(Text path, Text text) {
  impl_->Add(std::move(path), std::move(text));
}

std::vector<std::int32_t> ListWriter::Finish() {
  return impl_->Finish();
}

}  // namespace drumlo
