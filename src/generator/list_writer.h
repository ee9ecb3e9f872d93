// Writes a run's list files in the order they are given, on a thread of its own unless told
// otherwise, so that the song rules go on while files are written. Nothing is written before the
// workbook has been read whole: a read that fails part way leaves the list files as they were.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/text.h"
#include "fileio/file_access.h"
#include "generator/gen_list.h"
#include "generator/workbook_reader.h"

namespace drumlo {

class ListWriter {
 public:
  ListWriter(FileAccess& files, WorkbookReader& workbook, bool own_thread, RunTimings* timings);
  ListWriter(const ListWriter&) = delete;
  ListWriter& operator=(const ListWriter&) = delete;
  ~ListWriter();

  // A list file to write: `text` becomes its UTF-16LE bytes.
  void Add(Text path, Text text);
  // Waits until every file given is written; their result codes in the order given. When the
  // workbook could not be read whole nothing was written and the codes are not to be used.
  [[nodiscard]] std::vector<std::int32_t> Finish();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace drumlo
