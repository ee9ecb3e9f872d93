// Seconds a run spends in each phase, for --timings and the benchmarks.
#pragma once

#include <chrono>

namespace drumlo {

// "scan" covers finding rows and the song rules on the run's own thread.
struct RunTimings {
  double read = 0;
  double decode = 0;
  double scan = 0;
  double encode = 0;  // building the list files' bytes
  double write = 0;
  double total = 0;
  bool read_alongside_scan = false;  // the workbook was read on a thread of its own
};

// Adds the time from construction to destruction to a phase total, when one is kept.
class PhaseClock {
 public:
  explicit PhaseClock(double* total) : total_(total) {
    if (total_ != nullptr) start_ = Clock::now();
  }
  PhaseClock(RunTimings* timings, double RunTimings::*phase)
      : PhaseClock(timings == nullptr ? nullptr : &(timings->*phase)) {}
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
