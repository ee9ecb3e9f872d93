// Wall-clock timing shared by the benchmark programs.
#pragma once

#include <chrono>
#include <functional>

namespace drumlo {

inline double SecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace drumlo
