// Windows: the private committed memory, its peak and the handle count.
#include <windows.h>

#include <psapi.h>

#include <cstdint>

#include "process_use.h"

namespace drumlo {
namespace {

// Wine answers 0 for the handle count; there the open handles are counted one by one. Handle
// values are multiples of 4 and each new handle takes the lowest free one, so a long run of
// free values ends the table.
int CountOpenHandles() {
  int count = 0;
  int free_in_a_row = 0;
  for (std::uintptr_t value = 4; free_in_a_row < 1024; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++count;
      free_in_a_row = 0;
    } else {
      ++free_in_a_row;
    }
  }
  return count;
}

}  // namespace

// PagefileUsage is the private memory: Windows counts PrivateUsage the same, and Wine fills only
// PagefileUsage.
ProcessUse MeasureProcess() {
  PROCESS_MEMORY_COUNTERS memory = {};
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
  DWORD handles = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &handles) || handles == 0) {
    handles = static_cast<DWORD>(CountOpenHandles());
  }
  return {static_cast<long>(memory.PagefileUsage / 1024),
          static_cast<long>(memory.PeakPagefileUsage / 1024), static_cast<int>(handles)};
}

}  // namespace drumlo
