// What this process holds now, for checks that many runs leave it where it was.
#pragma once

namespace drumlo {

struct ProcessUse {
  long memory_kb = 0;  // resident (POSIX) or private committed (Windows) memory
  long peak_kb = 0;    // the most memory_kb has been
  int handles = 0;     // open descriptors (POSIX) or handles (Windows)
};

ProcessUse MeasureProcess();

}  // namespace drumlo
