// The whole generation run on arbitrary workbook bytes, in an in-memory file system. How rows
// are cut is checked on its own by fuzz_row_cut.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "fuzz_input.h"
#include "generator/gen_list.h"
#include "run_doubles.h"

namespace {

using namespace drumlo;
using drumlo::fuzz::Check;

void CheckListFile(const Text& path, const Bytes& bytes) {
  Check(path.rfind(u"out/", 0) == 0 && path.size() > 8 && path.ends_with(u".txt"));
  Check(bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes[0] == 0xFF && bytes[1] == 0xFE);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFiles files;
  files.files[u"book.xml"] = Bytes(data, data + size);
  files.piece_bytes = 1 + size / 3;  // rows cut at the edges of pieces too
  RecordingHost host;
  WindowSongValues window;
  RunReport report;
  RunContext context{host, files, window, u"out/", false, &report};
  context.reading_thread = false;
  const RunResult result =
      GenList(u"book.xml", 1, std::numeric_limits<std::int32_t>::max(), context);
  // Bytes that are no workbook, or a damaged .xlsx, are refused before anything is written.
  Check(result.outcome != RunOutcome::kWorkbookMissing);
  Check(result.failed_writes == 0);
  Check(report.rows_accepted <= report.rows_read);
  files.files.erase(u"book.xml");
  if (result.outcome != RunOutcome::kFinished || report.rows_accepted == 0) {
    Check(files.files.empty());
  }
  for (const auto& [path, bytes] : files.files)
    CheckListFile(path, bytes);
  return 0;
}
