// Time spent in a phase of a run, for --timings and benchmarks.
#pragma once

#include <chrono>

namespace drumlo {

// Adds the time from construction to destruction to a phase total, when one is kept.
class PhaseClock {
 public:
  explicit PhaseClock(double* total) : total_(total) {
    if (total_ != nullptr) start_ = Clock::now();
  }
  PhaseClock(const PhaseClock&) = delete;
  PhaseClock& operator=(const PhaseClock&) = delete;
  ~PhaseClock() {
    if (total_ != nullptr) *total_ += std::chrono::duration<double>(Clock::now() - start_).count();
  }

 private:
  using Clock = std::chrono::steady_clock;
  double* total_;
  Clock::time_point start_;
};

}  // namespace drumlo
