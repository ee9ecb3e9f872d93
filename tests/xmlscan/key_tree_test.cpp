// The tree that finds the next nested element able to close in time: its answer must be the
// first key at most the bound, found by looking at every key, however the row has grown.
#include "xmlscan/key_tree.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace drumlo {
namespace {

std::size_t FirstAtMostByLooking(const std::vector<KeyTree::Key>& keys, std::size_t from,
                                 KeyTree::Key most) {
  for (std::size_t k = from; k < keys.size(); ++k) {
    if (keys[k] <= most) return k;
  }
  return KeyTree::kNone;
}

TEST(KeyTreeTest, FindsTheFirstKeyAtMostTheBoundWhileGrowingAndChanging) {
  std::mt19937 rng(3);
  const auto roll = [&rng](std::uint32_t n) {
    return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng);
  };
  for (int round = 0; round < 20 && !HasFailure(); ++round) {
    KeyTree tree;
    std::vector<KeyTree::Key> keys;
    if (round % 2 == 1) tree.Clear();  // a cleared tree starts again from nothing
    for (int step = 0; step < 3000; ++step) {
      const std::uint32_t what = roll(10);
      if (what < 4 || keys.empty()) {
        keys.push_back(roll(4) == 0 ? KeyTree::kMaxKey : roll(1000));
        tree.Append(keys.back());
      } else if (what < 6) {
        const std::size_t at = roll(static_cast<std::uint32_t>(keys.size()));
        keys[at] = roll(1000);
        tree.Set(at, keys[at]);
      } else if (what == 6) {
        tree.Reserve(keys.size() + roll(300));  // room made ahead keeps the keys
      } else {
        const std::size_t from = roll(static_cast<std::uint32_t>(keys.size() + 2));
        const KeyTree::Key most = roll(1000);
        ASSERT_EQ(tree.FirstAtMost(from, most), FirstAtMostByLooking(keys, from, most))
            << "from " << from << " most " << most << " size " << keys.size();
      }
    }
  }
}

}  // namespace
}  // namespace drumlo
