#include "generator/document_source.h"

namespace drumlo {

void DocumentSource::SetComplete(TextView text) {
  storage_ = text.data();
  capacity_ = text.size();
  length_.store(text.size(), std::memory_order_release);
  complete_.store(true, std::memory_order_release);
}

void DocumentSource::Begin(const char16_t* storage, std::size_t capacity) {
  storage_ = storage;
  capacity_ = capacity;
  length_.store(0, std::memory_order_release);
  complete_.store(false, std::memory_order_release);
}

void DocumentSource::Publish(std::size_t length) {
  {
    // Taken so that a reader between its test and its wait cannot miss the news.
    const std::lock_guard<std::mutex> lock(mutex_);
    length_.store(length, std::memory_order_release);
  }
  grown_.notify_all();
}

void DocumentSource::Finish(std::size_t length) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    length_.store(length, std::memory_order_release);
    complete_.store(true, std::memory_order_release);
  }
  grown_.notify_all();
}

TextView DocumentSource::Now(bool& complete) const {
  // The flag first: a text seen complete has its final length.
  complete = complete_.load(std::memory_order_acquire);
  return TextView(storage_, length_.load(std::memory_order_acquire));
}

void DocumentSource::WaitBeyond(std::size_t known) const {
  std::unique_lock<std::mutex> lock(mutex_);
  grown_.wait(lock, [&] {
    return complete_.load(std::memory_order_acquire) ||
           length_.load(std::memory_order_acquire) > known;
  });
}

bool DocumentSource::Holds(TextView part) const {
  return part.data() >= storage_ && part.data() + part.size() <= storage_ + capacity_;
}

}  // namespace drumlo
