// The rows of a workbook, handed to the run a batch at a time. A reader reads the file piece by
// piece, decodes each piece into a text window of its own, cuts every complete row out of the
// window into a batch and drops the text behind the rows it has cut. An .xlsx workbook is read
// whole, then its rows are put into batches the same way. The reader works on a thread of its
// own, a few batches ahead of the run, or inline when the run asks for its first batch.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "common/text.h"
#include "fileio/file_access.h"
#include "fileio/workbook_format.h"
#include "generator/row_batch.h"
#include "generator/run_timings.h"

namespace drumlo {

// How the rows of a workbook ended.
struct RowsEnd {
  bool early = false;            // a row that could not be read, or that read "^ERROR", ended them
  std::uint32_t sheet = 0;       // early: the worksheet that row lies in
  std::int64_t rows_left = 0;    // early: the row start tags from it to the end, itself included
  bool workbook_closed = false;  // a </Workbook> end tag follows the last row
};

class RowSource {
 public:
  RowSource(FileAccess& files, TextView path, bool own_thread, RunTimings* timings);
  RowSource(const RowSource&) = delete;
  RowSource& operator=(const RowSource&) = delete;
  ~RowSource();

  // The next rows, in place of what `batch` held; false when the workbook has no more rows.
  [[nodiscard]] bool Next(RowBatch& batch);
  // Whether the whole file has been read without an error, without waiting for it.
  [[nodiscard]] bool ReadWhole() const;
  // Waits until the file has been read; 0 when it was read whole, else the error code.
  [[nodiscard]] std::int32_t ReadResult();
  // How the rows ended; once Next has given false.
  [[nodiscard]] RowsEnd End();
  // The workbook's format, told from its first bytes (from all of them for an archive); once
  // Next has given false; none when the file could not be read. A format other than XML text
  // and .xlsx gives no rows.
  [[nodiscard]] std::optional<WorkbookFormat> Format();

 private:
  class Reader;
  std::unique_ptr<Reader> reader_;
};

}  // namespace drumlo
