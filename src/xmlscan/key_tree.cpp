#include "xmlscan/key_tree.h"

#include <algorithm>

namespace drumlo {

// Only the nodes above the leaves in use are reset: a tree kept from a large search is cleared
// as fast as the small one that used it since.
void KeyTree::Clear() {
  if (size_ == 0) return;
  for (std::size_t first = capacity_, last = capacity_ + size_ - 1; first >= 1;
       first /= 2, last /= 2) {
    std::fill(minima_.begin() + static_cast<std::ptrdiff_t>(first),
              minima_.begin() + static_cast<std::ptrdiff_t>(last) + 1, kMaxKey);
    if (first == 1) break;
  }
  size_ = 0;
}

void KeyTree::Grow(std::size_t capacity) {
  const std::size_t old_capacity = capacity_;
  capacity_ = capacity;
  std::vector<Key> minima(2 * capacity_, kMaxKey);
  std::copy_n(minima_.begin() + static_cast<std::ptrdiff_t>(old_capacity), size_,
              minima.begin() + static_cast<std::ptrdiff_t>(capacity_));
  for (std::size_t node = capacity_ - 1; node > 0; --node)
    minima[node] = std::min(minima[2 * node], minima[2 * node + 1]);
  minima_.swap(minima);
}

void KeyTree::Append(Key key) {
  if (size_ == capacity_) Grow(capacity_ == 0 ? 64 : capacity_ * 2);
  Set(size_++, key);
}

void KeyTree::Reserve(std::size_t size) {
  if (size <= capacity_) return;
  std::size_t capacity = capacity_ == 0 ? 64 : capacity_;
  while (capacity < size)
    capacity *= 2;
  Grow(capacity);
}

void KeyTree::Set(std::size_t index, Key key) {
  std::size_t node = capacity_ + index;
  minima_[node] = key;
  while (node > 1) {
    node /= 2;
    const Key least = std::min(minima_[2 * node], minima_[2 * node + 1]);
    if (minima_[node] == least) break;
    minima_[node] = least;
  }
}

std::size_t KeyTree::FirstAtMost(std::size_t from, Key most) const {
  if (from >= size_) return kNone;
  std::size_t node = capacity_ + from;
  // Up and to the right until a subtree holds a key small enough.
  while (minima_[node] > most) {
    while (node % 2 == 1) {
      node /= 2;
      if (node == 0) return kNone;
    }
    ++node;
  }
  // Down to its leftmost such key.
  while (node < capacity_) {
    node *= 2;
    if (minima_[node] > most) ++node;
  }
  const std::size_t index = node - capacity_;
  return index < size_ ? index : kNone;
}

}  // namespace drumlo
