#include "generator/workbook_reader.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "fileio/utf8.h"
#include "generator/phase_clock.h"

namespace drumlo {
namespace {

constexpr std::int32_t kErrorNotEnoughMemory = 8;

}  // namespace

class WorkbookReader::Impl final : public PieceSink {
 public:
  Impl(FileAccess& files, TextView path, bool own_thread, RunTimings* timings)
      : files_(files), path_(path), timings_(timings) {
    if (own_thread) {
      try {
        thread_ = std::jthread([this] { ReadAll(); });
        if (timings_ != nullptr) timings_->read_alongside_scan = true;
        return;
      } catch (const std::system_error&) {
        // No thread to be had: read here instead.
      }
    }
    ReadAll();
  }

  ~Impl() override {
    if (thread_.joinable()) thread_.join();
  }

  bool WaitUntilBegun() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return begun_ || ended_; });
    return begun_;
  }

  std::int32_t Result() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ended_; });
    return result_;
  }

  bool Ended() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
  }

  const DocumentSource& Source() const { return source_; }

  // Told on the reading thread, once, before the first piece.
  void Size(std::size_t bytes) override {
    try {
      decoder_.emplace(text_, bytes);
    } catch (const std::bad_alloc&) {
      memory_failed_ = true;
      return;
    } catch (const std::length_error&) {
      memory_failed_ = true;
      return;
    }
    source_.Begin(text_.data(), bytes);
    Signal(begun_);
  }

  void Piece(std::span<const std::uint8_t> bytes) override {
    if (!decoder_) return;
    {
      const PhaseClock clock(&decode_seconds_);
      decoder_->Add(bytes);
    }
    source_.Publish(text_.size());
  }

 private:
  void ReadAll() {
    double whole_seconds = 0;
    std::int32_t code;
    {
      const PhaseClock clock(&whole_seconds);
      code = files_.ReadPieces(path_, *this);
      if (decoder_) {
        const PhaseClock decoding(&decode_seconds_);
        decoder_->Finish();
      }
    }
    if (memory_failed_) code = kErrorNotEnoughMemory;
    // Readers waiting for more text are let go; a failed read ends with what is there.
    source_.Finish(text_.size());
    if (timings_ != nullptr) {
      timings_->decode = decode_seconds_;
      timings_->read = whole_seconds - decode_seconds_;
    }
    result_ = code;
    Signal(ended_);
  }

  void Signal(bool& flag) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      flag = true;
    }
    changed_.notify_all();
  }

  FileAccess& files_;
  const Text path_;
  RunTimings* timings_;
  Text text_;
  std::optional<Utf8PieceDecoder> decoder_;
  DocumentSource source_;
  bool memory_failed_ = false;
  double decode_seconds_ = 0;
  std::int32_t result_ = kErrorSuccess;

  std::mutex mutex_;
  std::condition_variable changed_;
  bool begun_ = false;
  bool ended_ = false;
  std::jthread thread_;  // last: started when everything it uses is there
};

WorkbookReader::WorkbookReader(FileAccess& files, TextView path, bool own_thread,
                               RunTimings* timings)
    : impl_(std::make_unique<Impl>(files, path, own_thread, timings)) {}

WorkbookReader::~WorkbookReader() = default;

bool WorkbookReader::WaitUntilBegun() {
  return impl_->WaitUntilBegun();
}

std::int32_t WorkbookReader::Result() {
  return impl_->Result();
}

bool WorkbookReader::Ended() {
  return impl_->Ended();
}

const DocumentSource& WorkbookReader::Source() const {
  return impl_->Source();
}

}  // namespace drumlo
