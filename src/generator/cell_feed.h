// The rows of a workbook with their cells placed into columns, handed to the run row by row.
// For a large workbook the rows are read on a second thread, ahead of the run's song rules, and
// their cells placed as the rows are taken; the rows, cells and findings are the same either way
// and come in document order.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "common/text.h"
#include "generator/document_source.h"
#include "generator/gen_list.h"

namespace drumlo {

inline constexpr std::int32_t kColumnSlots = 21;

enum class CellStep { kPlaced, kValueless, kPassedOver };

// One cell of a row after the placement rule.
struct FedCell {
  CellStep step = CellStep::kValueless;
  std::int32_t slot = 0;            // kPlaced: the 0-based column slot
  TextView value;                   // kPlaced: the value with its tags stripped
  FindingKind finding{};            // kPassedOver: why
  std::int32_t finding_column = 0;  // kPassedOver: 1-based column, 0 where none applies
};

struct FedRow {
  std::int32_t number = 0;  // 1-based among the document's rows; the header is row 1
  std::span<const FedCell> cells;
};

class CellFeed {
 public:
  enum class Mode { kAuto, kSameThread, kAhead };
  // `use_walk` false reads every row with the element accessors (for comparisons).
  explicit CellFeed(TextView document, Mode mode = Mode::kAuto, bool use_walk = true);
  // Rows of a document that may still be growing (decoded on another thread).
  explicit CellFeed(const DocumentSource& source, Mode mode = Mode::kAuto, bool use_walk = true);
  CellFeed(const CellFeed&) = delete;
  CellFeed& operator=(const CellFeed&) = delete;
  ~CellFeed();

  // The next row; false when there is none. The row's cells stay valid until the next call.
  [[nodiscard]] bool NextRow(FedRow& row);

 private:
  class Impl;
  void Start(const DocumentSource& source, Mode mode, bool use_walk);

  std::unique_ptr<DocumentSource> owned_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace drumlo
