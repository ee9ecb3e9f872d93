// Linux: /proc/self gives the resident memory, its peak and the open descriptors.
#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "process_use.h"

namespace drumlo {
namespace {

long StatusField(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
  }
  return 0;
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(dir))
      count += entry->d_name[0] != '.' ? 1 : 0;
    ::closedir(dir);
  }
  return count - 1;  // the listing's own
}

}  // namespace

ProcessUse MeasureProcess() {
  return {StatusField("VmRSS"), StatusField("VmHWM"), OpenDescriptors()};
}

}  // namespace drumlo
