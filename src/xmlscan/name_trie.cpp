#include "xmlscan/name_trie.h"

#include <algorithm>
#include <bit>

namespace drumlo {
namespace {

constexpr std::size_t kFirstEdgeSlots = 64;

}  // namespace

void NameTrie::Clear() {
  child_counts_.assign(1, 0);
  ascii_from_root_.fill(kNoNode);
  if (edge_count_ != 0) std::fill(edges_.begin(), edges_.end(), Edge{});
  edge_count_ = 0;
  last_name_.clear();
  last_name_path_.assign(1, kRoot);
  last_walk_.clear();
  last_walk_path_.assign(1, kRoot);
}

// A node's edges lie side by side, ordered by unit: names read one after another in a text, which
// mostly differ in their last units, then look up neighbouring slots.
std::size_t NameTrie::SlotOf(std::uint64_t key) const {
  const std::size_t mask = edges_.size() - 1;
  const std::uint64_t node = (key - 1) >> 16;
  const std::uint64_t unit = (key - 1) & 0xFFFF;
  // The high bits of the product are the well mixed ones.
  std::size_t slot =
      static_cast<std::size_t>(((node * 0x9E3779B97F4A7C15ull) >> edge_shift_) + unit) & mask;
  while (edges_[slot].key != 0 && edges_[slot].key != key)
    slot = (slot + 1) & mask;
  return slot;
}

void NameTrie::AddEdge(std::uint64_t key, Node child) {
  if (2 * (edge_count_ + 1) > edges_.size()) {
    std::vector<Edge> old(std::max(kFirstEdgeSlots, 2 * edges_.size()));
    old.swap(edges_);
    edge_shift_ = 64 - std::countr_zero(edges_.size());
    for (const Edge& edge : old) {
      if (edge.key != 0) edges_[SlotOf(edge.key)] = edge;
    }
  }
  edges_[SlotOf(key)] = Edge{key, child};
  ++edge_count_;
}

NameTrie::Node NameTrie::Add(TextView name) {
  std::size_t same = 0;
  while (same < last_name_.size() && same < name.size() && name[same] == last_name_[same])
    ++same;
  last_name_.resize(same);
  last_name_path_.resize(same + 1);
  Node node = last_name_path_[same];
  for (std::size_t k = same; k < name.size(); ++k) {
    const char16_t unit = name[k];
    Node next = Child(node, unit);
    if (next == kNoNode) {
      next = static_cast<Node>(child_counts_.size());
      child_counts_.push_back(0);
      ++child_counts_[node];
      if (node == kRoot && unit < ascii_from_root_.size()) {
        ascii_from_root_[unit] = next;
      } else {
        AddEdge(EdgeKey(node, unit), next);
      }
    }
    node = next;
    last_name_.push_back(unit);
    last_name_path_.push_back(node);
  }
  return node;
}

NameTrie::Node NameTrie::Child(Node node, char16_t unit) const {
  if (child_counts_[node] == 0) return kNoNode;
  if (node == kRoot && unit < ascii_from_root_.size()) return ascii_from_root_[unit];
  if (edges_.empty()) return kNoNode;
  return edges_[SlotOf(EdgeKey(node, unit))].child;
}

}  // namespace drumlo
