// Whether the tests run in CI, where a test that needs something the machine lacks (the shared
// corpus, a tool) must fail instead of skipping.
#pragma once

#include <cstdlib>

namespace drumlo {

[[nodiscard]] inline bool InCi() {
  return std::getenv("CI") != nullptr;
}

}  // namespace drumlo
