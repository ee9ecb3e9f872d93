#include "generator/workbook_reader.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "fileio/text_memory.h"
#include "fileio/utf8.h"
#include "generator/phase_clock.h"

namespace drumlo {
namespace {

// Hands the memory of text that has been released on to text not yet written, a block at a
// time, so that a long workbook reuses pages instead of taking fresh ones for all its text.
// Blocks are only ever given to a block the decoder has not begun to write.
class BlockRecycler {
 public:
  explicit BlockRecycler(TextMemory& memory) : memory_(memory) {}

  // Before the decoder writes at most up to unit `until`, with `written` units there and the
  // text before `released` no longer read.
  void Prepare(std::size_t written, std::size_t until, std::size_t released) {
    constexpr std::size_t kBlock = TextMemory::kBlockUnits;
    std::size_t target = std::max(next_target_, (written + kBlock - 1) / kBlock);
    for (; working_ && target * kBlock < until; ++target) {
      const bool source_released = (next_source_ + 1) * kBlock <= released;
      if (!source_released || next_source_ >= target) continue;  // this block takes new pages
      working_ = memory_.MoveBlock(next_source_, target);
      ++next_source_;
    }
    next_target_ = target;
  }

 private:
  TextMemory& memory_;
  std::size_t next_source_ = 0;  // the first block not yet handed on
  std::size_t next_target_ = 0;  // the first block not yet looked at
  bool working_ = true;          // false once the platform could not move a block
};

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
  // No byte gives more than one unit, so the file's size bounds the text.
  bool Size(std::size_t bytes) override {
    memory_ = TextMemory::Reserve(bytes);
    if (memory_ == nullptr) {
      memory_failed_ = true;  // 8 even from a file access that reads on regardless
      return false;
    }
    recycler_.emplace(*memory_);
    decoder_.emplace(memory_->Data(), bytes);
    source_.Begin(memory_->Data(), bytes);
    Signal(begun_);
    return true;
  }

  void Piece(std::span<const std::uint8_t> bytes) override {
    if (!decoder_) return;
    bytes_given_ += bytes.size();
    {
      const PhaseClock clock(&decode_seconds_);
      recycler_->Prepare(decoder_->Size(), bytes_given_, source_.Released());
      decoder_->Add(bytes);
    }
    source_.Publish(decoder_->Size());
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
        recycler_->Prepare(decoder_->Size(), bytes_given_, source_.Released());
        decoder_->Finish();
      }
    }
    if (memory_failed_) code = kErrorNotEnoughMemory;
    // Readers waiting for more text are let go; a failed read ends with what is there.
    source_.Finish(decoder_ ? decoder_->Size() : 0);
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
  std::unique_ptr<TextMemory> memory_;
  std::optional<BlockRecycler> recycler_;
  std::optional<Utf8PieceDecoder> decoder_;
  std::size_t bytes_given_ = 0;
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
