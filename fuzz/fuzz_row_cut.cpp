// Rows cut from arbitrary text: every row the fast walk vouches for must be the row the element
// accessors cut, cell for cell.
#include <cstddef>
#include <cstdint>

#include "fileio/file_access.h"
#include "fuzz_input.h"
#include "generator/row_cut.h"
#include "xmlscan/element_access.h"

namespace {

using namespace drumlo;
using drumlo::fuzz::Check;

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
  CheckWalkAgrees(Utf8ToText(std::span(data, size)));
  return 0;
}
