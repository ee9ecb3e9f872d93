// The workbook text as far as it is decoded. A large workbook is decoded on one thread while
// another reads rows from the part already there; a small one is decoded whole beforehand.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "common/text.h"

namespace drumlo {

class DocumentSource {
 public:
  DocumentSource() = default;
  explicit DocumentSource(TextView complete) { SetComplete(complete); }
  DocumentSource(const DocumentSource&) = delete;
  DocumentSource& operator=(const DocumentSource&) = delete;

  // A text that is there whole. This and Begin are called before any reader starts.
  void SetComplete(TextView text);
  // A text still to be written into `storage` (which does not move), `capacity` units at most.
  void Begin(const char16_t* storage, std::size_t capacity);
  // Writer side: the first `length` units are written and will not change.
  void Publish(std::size_t length);
  void Finish(std::size_t length);

  // Reader side: what is there now, and whether that is all of it.
  [[nodiscard]] TextView Now(bool& complete) const;
  // Blocks until more than `known` units are there or the text is complete.
  void WaitBeyond(std::size_t known) const;
  // The length of the whole text, or the most it can grow to.
  [[nodiscard]] std::size_t Capacity() const { return capacity_; }
  // Whether `part` lies in the document's storage (rather than in a copy).
  [[nodiscard]] bool Holds(TextView part) const;
  // Where `unit`, which lies in the storage, is in the document (0-based).
  [[nodiscard]] std::size_t OffsetOf(const char16_t* unit) const {
    return static_cast<std::size_t>(unit - storage_);
  }

  // Reader side: the units before `offset` will not be read again, so their memory may serve
  // text still to come. Only the reader that is furthest behind may say so.
  void ReleaseBefore(std::size_t offset) const {
    released_.store(offset, std::memory_order_release);
  }
  // Writer side: how far the text has been released.
  [[nodiscard]] std::size_t Released() const { return released_.load(std::memory_order_acquire); }

 private:
  const char16_t* storage_ = nullptr;
  std::size_t capacity_ = 0;
  std::atomic<std::size_t> length_{0};
  std::atomic<bool> complete_{true};
  mutable std::atomic<std::size_t> released_{0};  // told by a reader, like a lock it takes
  mutable std::mutex mutex_;
  mutable std::condition_variable grown_;
};

}  // namespace drumlo
