// Reads and decodes the workbook piece by piece, on a thread of its own unless told otherwise,
// into a DocumentSource that rows can be read from while it grows. The whole file is never
// held as bytes: each piece is decoded as it comes.
#pragma once

#include <cstdint>
#include <memory>

#include "common/text.h"
#include "fileio/file_access.h"
#include "generator/document_source.h"
#include "generator/gen_list.h"

namespace drumlo {

class WorkbookReader {
 public:
  WorkbookReader(FileAccess& files, TextView path, bool own_thread, RunTimings* timings);
  WorkbookReader(const WorkbookReader&) = delete;
  WorkbookReader& operator=(const WorkbookReader&) = delete;
  ~WorkbookReader();

  // Waits until the text has begun to arrive; false when reading failed before that.
  [[nodiscard]] bool WaitUntilBegun();
  // Waits until reading has ended; its result code (0 when the whole file was read). Any thread
  // may ask.
  [[nodiscard]] std::int32_t Result();
  // Whether reading has ended, without waiting for it.
  [[nodiscard]] bool Ended();
  [[nodiscard]] const DocumentSource& Source() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace drumlo
