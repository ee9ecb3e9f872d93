// The rows of a workbook and the cells of each row, as the run reads them. Rows written the
// ordinary way are walked once and their cells taken from the walk; any other row is read
// with the element accessors. Both ways give the same rows, cells and values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/text.h"
#include "generator/document_source.h"
#include "xmlscan/element_walk.h"

namespace drumlo {

// What the placement rule needs of one cell. Views stay valid until the next cell is taken.
struct CellParts {
  TextView whole;       // the cell element
  TextView index_attr;  // its ss:Index value, or kNotFound
  TextView value;       // content of its Data (else ss:Data) element, markup kept; or kNotFound
};

class RowReader {
 public:
  // `use_walk` false reads every row with the accessors (for comparisons).
  explicit RowReader(TextView document, bool use_walk = true)
      : owned_(std::make_unique<DocumentSource>(document)), source_(*owned_), use_walk_(use_walk) {}
  // Rows of a document that may still be growing; a row is taken once enough of it is there.
  explicit RowReader(const DocumentSource& source, bool use_walk = true)
      : source_(source), use_walk_(use_walk) {}

  // The content of the next row; false when there is no further row.
  [[nodiscard]] bool NextRow(TextView& content);
  // The next cell of the current row; false at the end of the row.
  [[nodiscard]] bool NextCell(CellParts& cell);
  // Whether the current row was read by the walk.
  [[nodiscard]] bool RowWalked() const { return walked_; }

 private:
  [[nodiscard]] bool NextWalkedCell(CellParts& cell);
  [[nodiscard]] bool NextScannedCell(CellParts& cell);
  void TakeScannedParts(TextView whole, CellParts& cell);

  [[nodiscard]] bool WalkNextRow(TextView text, TextView& content);

  std::unique_ptr<DocumentSource> owned_;
  const DocumentSource& source_;
  TextView document_;  // the document as far as it was there when the current row was taken
  bool use_walk_;
  Position row_cursor_ = 0;

  // The current row: walked (elements of the walk) or scanned (its content and a cursor).
  bool walked_ = false;
  ElementWalk walk_;
  std::size_t next_element_ = 0;  // walked: index of the next element to look at
  TextView row_content_;
  Position cell_cursor_ = 0;
  Text body_storage_;  // a cell without its notes
};

}  // namespace drumlo
