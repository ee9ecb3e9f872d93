// The whole generation run on arbitrary workbook bytes, in an in-memory file system.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "fuzz_input.h"
#include "generator/gen_list.h"
#include "generator/row_cut.h"
#include "run_doubles.h"
#include "xmlscan/element_access.h"

namespace {

using namespace drumlo;
using drumlo::fuzz::Check;

void CheckListFile(const Text& path, const Bytes& bytes) {
  Check(path.rfind(u"out/", 0) == 0 && path.size() > 8 && path.ends_with(u".txt"));
  Check(bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes[0] == 0xFF && bytes[1] == 0xFE);
}

bool SameText(const RowBatch& a, BatchText x, const RowBatch& b, BatchText y) {
  return x.Present() == y.Present() && a.TextOf(x) == b.TextOf(y);
}

bool SameCell(const RowBatch& a, const BatchCell& x, const RowBatch& b, const BatchCell& y) {
  Text x_stripped;
  Text y_stripped;
  const CellFacts p = a.FactsOf(x, x_stripped);
  const CellFacts q = b.FactsOf(y, y_stripped);
  return p.has_value == q.has_value && p.value == q.value && p.index == q.index &&
         p.merge_across == q.merge_across;
}

// Every row the walk cuts must be the row the accessors cut, cell for cell.
void CheckWalkAgrees(TextView text) {
  ElementWalk walk;
  DocumentScanner document(text);
  std::size_t from = 0;
  for (;;) {
    const std::size_t start = FindStartTag(text, from, u"Row");
    if (start == TextView::npos) return;
    RowBatch walked;
    RowBatch accessed;
    std::size_t walked_next = 0;
    std::size_t next = 0;
    const RowCut by_walk = CutWalkedRow(text, start, 0, walk, walked, walked_next);
    const RowCut by_accessors = CutAccessedRow(document, from, 0, accessed, next);
    if (by_walk == RowCut::kCut || by_walk == RowCut::kNoRow) {  // the walk vouched for the row
      Check(by_walk == by_accessors);
      if (by_walk == RowCut::kCut) {
        Check(walked_next == next);
        const BatchRow& a = walked.Rows().front();
        const BatchRow& b = accessed.Rows().front();
        Check(SameText(walked, a.index, accessed, b.index) && a.cell_count == b.cell_count);
        for (std::uint32_t k = 0; k < a.cell_count; ++k) {
          const BatchCell& x = walked.CellsOf(a)[k];
          const BatchCell& y = accessed.CellsOf(b)[k];
          Check(SameCell(walked, x, accessed, y));
        }
      }
    }
    if (by_accessors == RowCut::kNoRow) return;
    from = next;
  }
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
  CheckWalkAgrees(Utf8ToText(std::span(data, size)));
  return 0;
}
