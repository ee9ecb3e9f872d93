// Random element trees for comparing searches: quoted attributes that may hold "<", ">" and
// "/", end tags left out or misnamed, and texts cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/text.h"
#include "show_text.h"

namespace drumlo {

class RandomTree {
 public:
  RandomTree(std::vector<TextView> names, std::uint32_t seed)
      : names_(std::move(names)), rng_(seed) {}

  [[nodiscard]] Text Build(int max_depth) {
    Text out;
    Append(out, 0, max_depth);
    if (Roll(4) == 0 && !out.empty()) out.resize(Roll(out.size()));
    return out;
  }
  [[nodiscard]] TextView AnyName() { return names_[Roll(names_.size())]; }
  [[nodiscard]] std::size_t Roll(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }

 private:
  void Append(Text& out, int depth, int max_depth) {
    static const std::vector<TextView> kAttrs = {
        u"", u" ss:Index=\"2\"", u" a='<B>'", u" a=\"</Row>\"", u" a='x/y'", u" '", u"/"};
    const std::size_t children = depth >= max_depth ? 0 : Roll(4);
    for (std::size_t i = 0; i < children; ++i) {
      if (Roll(6) == 0) {
        out += u"t";
        continue;
      }
      const TextView name = AnyName();
      out += u"<" + Text(name) + Text(kAttrs[Roll(kAttrs.size())]) + u">";
      Append(out, depth + 1, max_depth);
      if (Roll(6) != 0) out += u"</" + Text(Roll(8) == 0 ? AnyName() : name) + u">";
    }
  }

  std::vector<TextView> names_;
  std::mt19937 rng_;
};

}  // namespace drumlo
