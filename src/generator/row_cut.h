// The two ways one row is cut out of the workbook's text into a batch. The walk reads an
// ordinary row in one pass; the element accessors read any row, but need the text to reach the
// end of the workbook. Where the walk cuts a row, both give the same row, cells and values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/text.h"
#include "generator/row_batch.h"
#include "xmlscan/element_access.h"
#include "xmlscan/element_walk.h"

namespace drumlo {

enum class RowCut {
  kCut,            // the row is in the batch; `next` is the first unit after it
  kNoRow,          // no row here: the rows of the workbook end
  kNeedMoreText,   // the walk reached the end of the text; more text may let it cut the row
  kNeedWholeText,  // the walk cannot vouch for this row: the accessors must read it
};

// The row whose start tag opens at `start` (as FindStartTag finds it from the row cursor).
[[nodiscard]] RowCut CutWalkedRow(TextView text, std::size_t start, std::uint32_t sheet,
                                  ElementWalk& walk, RowBatch& batch, std::size_t& next);

// The first row at or after `from`, read with the accessors over `document`, whose text must
// reach the end of the workbook; one scanner serves every row of that text. Gives kCut or kNoRow.
[[nodiscard]] RowCut CutAccessedRow(DocumentScanner& document, std::size_t from,
                                    std::uint32_t sheet, RowBatch& batch, std::size_t& next);

}  // namespace drumlo
