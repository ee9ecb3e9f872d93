// A long day in one process: runs the example workbook again and again, as the window does when
// it stays open all day, and checks that memory and open descriptors stay where they were.
// Usage: long_day RUNS OUTPUT_DIR   (Linux; prints the figures after run 10 and the last run)
// Exits with 1 when the resident memory or the descriptors after the last run exceed those
// after run 10 by more than 5%.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fileio/file_access.h"
#include "fileio/utf8.h"
#include "generator/gen_list.h"

namespace {

using namespace drumlo;

class SilentHost : public RunHost {
 public:
  void ShowStatus(const RunStatus&) override {}
  void ShowMessage(const RunMessage&) override {}
  void SetHourglass(bool) override {}
  void Beep() override {}
};

struct Figures {
  long resident_kb = 0;
  long peak_kb = 0;
  int descriptors = 0;
};

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

Figures Measure() {
  return {StatusField("VmRSS"), StatusField("VmHWM"), OpenDescriptors()};
}

Text FromUtf8(const std::string& text) {
  return DecodeUtf8(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool Within(long later, long earlier) {
  return later <= earlier + earlier / 20;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: long_day RUNS OUTPUT_DIR\n");
    return 64;
  }
  const int runs = std::atoi(argv[1]);
  const Text out = FromUtf8(std::string(argv[2]) + "/");
  const Text book = FromUtf8(std::string(DRUMLO_SOURCE_DIR) + "/examples/歌曲规范总表.xml");
  SilentHost host;
  WindowSongValues window;  // kept across runs, as the window keeps it
  Figures tenth;
  for (int run = 1; run <= runs; ++run) {
    RunReport report;
    RunContext context{host, SystemFiles(), window, out, false, &report};
    if (GenList(book, 5000, 9999, context).outcome != RunOutcome::kFinished) {
      std::fprintf(stderr, "long_day: run %d did not finish\n", run);
      return 1;
    }
    if (run == 10) tenth = Measure();
  }
  const Figures last = Measure();
  std::printf("after run 10: resident %ld KB, peak %ld KB, descriptors %d\n", tenth.resident_kb,
              tenth.peak_kb, tenth.descriptors);
  std::printf("after run %d: resident %ld KB, peak %ld KB, descriptors %d\n", runs,
              last.resident_kb, last.peak_kb, last.descriptors);
  const bool stable = Within(last.resident_kb, tenth.resident_kb) &&
                      Within(last.peak_kb, tenth.peak_kb) && last.descriptors <= tenth.descriptors;
  std::printf("%s\n", stable ? "stable" : "GROWING");
  return stable ? 0 : 1;
}
