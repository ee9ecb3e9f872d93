// A long day in one process: runs the example workbook again and again, as the window does when
// it stays open all day, and checks that memory and open descriptors stay where they were.
// Usage: long_day RUNS OUTPUT_DIR   (prints the figures after run 10 and the last run)
// Exits with 1 when the memory or the open handles after the last run exceed those after run 10
// by more than 5%.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fileio/file_access.h"
#include "fileio/utf8.h"
#include "generator/gen_list.h"
#include "process_use.h"

namespace {

using namespace drumlo;

class SilentHost : public RunHost {
 public:
  void ShowStatus(const RunStatus&) override {}
  void ShowMessage(const RunMessage&) override {}
  void SetHourglass(bool) override {}
  void Beep() override {}
};

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
  ProcessUse tenth;
  for (int run = 1; run <= runs; ++run) {
    RunReport report;
    RunContext context{host, SystemFiles(), window, out, false, &report};
    if (GenList(book, 5000, 9999, context).outcome != RunOutcome::kFinished) {
      std::fprintf(stderr, "long_day: run %d did not finish\n", run);
      return 1;
    }
    if (run == 10) tenth = MeasureProcess();
  }
  const ProcessUse last = MeasureProcess();
  std::printf("after run 10: memory %ld KB, peak %ld KB, handles %d\n", tenth.memory_kb,
              tenth.peak_kb, tenth.handles);
  std::printf("after run %d: memory %ld KB, peak %ld KB, handles %d\n", runs, last.memory_kb,
              last.peak_kb, last.handles);
  const bool stable = Within(last.memory_kb, tenth.memory_kb) &&
                      Within(last.peak_kb, tenth.peak_kb) && last.handles <= tenth.handles;
  std::printf("%s\n", stable ? "stable" : "GROWING");
  return stable ? 0 : 1;
}
