// Element names as a tree of their code units: every known name that a stretch of text begins
// with is found in one pass over that stretch, whatever the number of names.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/text.h"

namespace drumlo {

class NameTrie {
 public:
  using Node = std::uint32_t;
  static constexpr Node kRoot = 0;
  static constexpr Node kNoNode = 0xFFFFFFFFu;

  NameTrie() { Clear(); }

  void Clear();
  // The node that `name` leads to from the root; nodes on the way are made where missing.
  Node Add(TextView name);
  // The node that `unit` leads to from `node`, or kNoNode.
  [[nodiscard]] Node Child(Node node, char16_t unit) const;
  // Calls visit(node) for the root and for every node that the units of `text` from `at` lead
  // to, in turn, as far as they lead. The path of the last walk is kept: a walk that begins
  // like it looks up only the rest.
  template <class Visit>
  void Walk(TextView text, std::size_t at, const Visit& visit);
  // Nodes are numbered from 0 (the root) up to NodeCount() - 1.
  [[nodiscard]] std::size_t NodeCount() const { return child_counts_.size(); }

 private:
  // An edge from a node by one unit; key 0 marks a free slot.
  struct Edge {
    std::uint64_t key = 0;
    Node child = kNoNode;
  };
  [[nodiscard]] static std::uint64_t EdgeKey(Node node, char16_t unit) {
    return ((static_cast<std::uint64_t>(node) << 16) | unit) + 1;
  }
  [[nodiscard]] std::size_t SlotOf(std::uint64_t key) const;
  void AddEdge(std::uint64_t key, Node child);

  std::vector<std::uint32_t> child_counts_;
  std::array<Node, 128> ascii_from_root_{};  // the commonest first step, without hashing
  // Edges in one open-addressed table: a lookup is one probe into one array, mostly.
  std::vector<Edge> edges_;
  std::size_t edge_count_ = 0;
  int edge_shift_ = 64;
  // The last name added and the last text walked, with the nodes along them: names that follow
  // one another in a text often share their beginnings.
  Text last_name_;
  std::vector<Node> last_name_path_;
  Text last_walk_;
  std::vector<Node> last_walk_path_;
};

template <class Visit>
void NameTrie::Walk(TextView text, std::size_t at, const Visit& visit) {
  std::size_t same = 0;
  while (same < last_walk_.size() && at + same < text.size() &&
         text[at + same] == last_walk_[same]) {
    ++same;
  }
  for (std::size_t k = 0; k <= same; ++k)
    visit(last_walk_path_[k]);
  last_walk_.resize(same);
  last_walk_path_.resize(same + 1);
  Node node = last_walk_path_[same];
  for (std::size_t k = at + same; k < text.size(); ++k) {
    node = Child(node, text[k]);
    if (node == kNoNode) return;
    last_walk_.push_back(text[k]);
    last_walk_path_.push_back(node);
    visit(node);
  }
}

}  // namespace drumlo
