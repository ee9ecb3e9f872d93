// A row of keys that grows at its end, with the first key at or after an index that is at most a
// given value found in logarithmic time (a tree of minima over the row).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace drumlo {

class KeyTree {
 public:
  using Key = std::uint32_t;
  static constexpr Key kMaxKey = 0xFFFFFFFFu;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void Clear();
  void Append(Key key);
  void Reserve(std::size_t size);
  void Set(std::size_t index, Key key);
  [[nodiscard]] std::size_t Size() const { return size_; }
  [[nodiscard]] std::size_t Capacity() const { return capacity_; }
  // The first index at or after `from` whose key is at most `most`, or kNone.
  [[nodiscard]] std::size_t FirstAtMost(std::size_t from, Key most) const;

 private:
  void Grow(std::size_t capacity);

  std::size_t capacity_ = 0;  // leaves; a power of two
  std::size_t size_ = 0;
  std::vector<Key> minima_;  // node k covers nodes 2k and 2k + 1; leaves from capacity_ on
};

}  // namespace drumlo
