// Rows handed from the workbook's reader to the run, a batch at a time. A batch is
// self-contained: every text its rows need is copied into it, so the reader can drop the
// workbook's text behind the rows it has cut.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/text.h"

namespace drumlo {

// A text kept in a batch; absent where the workbook had none.
struct BatchText {
  static constexpr std::uint32_t kAbsent = 0xFFFFFFFF;
  std::uint32_t begin = kAbsent;
  std::uint32_t size = 0;
  [[nodiscard]] bool Present() const { return begin != kAbsent; }
};

struct BatchCell {
  BatchText value;       // the Data (else ss:Data) content with its markup; absent: no value
  BatchText attributes;  // the attributes of the Cell start tag
};

// What the run reads of a cell; the not-found text stands for an absent attribute.
struct CellFacts {
  bool has_value = false;
  TextView value;         // tags stripped
  TextView index;         // ss:Index
  TextView merge_across;  // ss:MergeAcross
};

struct BatchRow {
  std::uint32_t sheet = 0;  // worksheets begun before the row (0: none)
  BatchText index;          // the row's ss:Index text
  std::uint32_t first_cell = 0;
  std::uint32_t cell_count = 0;
};

class RowBatch {
 public:
  void Clear();
  // A worksheet begins: later rows lie in it.
  void AddSheet(TextView name);
  // A row, then its cells; the accessors' not-found text stands for an absent text. The reader
  // only copies a cell's parts; the run, which has less to do, reads them (FactsOf).
  void AddRow(std::uint32_t sheet, TextView index);
  void AddCell(TextView value_with_tags, TextView attributes);

  // The text kept; empty for an absent one.
  [[nodiscard]] TextView TextOf(BatchText text) const;
  // A cell's value and attributes; `stripped` holds the value when it had tags.
  [[nodiscard]] CellFacts FactsOf(const BatchCell& cell, Text& stripped) const;
  [[nodiscard]] const std::vector<BatchRow>& Rows() const { return rows_; }
  [[nodiscard]] std::span<const BatchCell> CellsOf(const BatchRow& row) const {
    return std::span(cells_).subspan(row.first_cell, row.cell_count);
  }
  // Names of the worksheets begun in this batch, in order.
  [[nodiscard]] const std::vector<Text>& NewSheets() const { return new_sheets_; }
  // Whether the batch holds enough to be handed over.
  [[nodiscard]] bool Full() const;

 private:
  BatchText Keep(TextView text);
  BatchText KeepFound(TextView text);  // absent for the not-found text

  std::vector<BatchRow> rows_;
  std::vector<BatchCell> cells_;
  Text texts_;
  std::vector<Text> new_sheets_;
};

}  // namespace drumlo
