// Memory for a long text written front to back while it is read behind the writer. The pages
// of a part that is no longer read can be handed on to a part not yet written, so that a long
// text does not need fresh memory, and the cost of its first touch, for every page.
#pragma once

#include <cstddef>
#include <memory>

namespace drumlo {

class TextMemory {
 public:
  // Address space for `units` units; pages are taken as they are first written. Null when the
  // space cannot be had.
  [[nodiscard]] static std::unique_ptr<TextMemory> Reserve(std::size_t units);
  // Pages are handed on in blocks of this many units, at multiples of it.
  static constexpr std::size_t kBlockUnits = std::size_t{1} << 20;

  TextMemory(const TextMemory&) = delete;
  TextMemory& operator=(const TextMemory&) = delete;
  ~TextMemory();

  [[nodiscard]] char16_t* Data() const { return data_; }
  [[nodiscard]] std::size_t Capacity() const { return capacity_; }
  // Gives block `to`, never written, the pages of block `from`, which is never read again and
  // afterwards reads as zeros. False when the platform cannot; nothing has changed then.
  [[nodiscard]] bool MoveBlock(std::size_t from, std::size_t to);

 private:
  TextMemory(char16_t* data, std::size_t capacity, std::size_t mapped_bytes)
      : data_(data), capacity_(capacity), mapped_bytes_(mapped_bytes) {}

  char16_t* data_;
  std::size_t capacity_;
  std::size_t mapped_bytes_;
};

}  // namespace drumlo
