// What a run tells its owner (the window, the command-line tool or a test) while it works. The
// run only says what happened; the owner turns each event into its own words.
#pragma once

#include <cstdint>
#include <span>

#include "common/text.h"
#include "fileio/workbook_format.h"

namespace drumlo {

enum class RunStatusKind {
  kReading,        // the workbook is being read
  kWritingGroup,   // a group has closed and its list file is written next
  kCheckingGroup,  // the same in a dry run, which writes nothing
  kFinished,       // every row has been taken and every list file written
  kEmpty,          // the workbook holds no row
};

struct RunStatus {
  RunStatusKind kind;
  TextView workbook = {};        // kReading
  std::int32_t group_first = 0;  // kWritingGroup: the song ID that names the list file
};

struct FailedWrite {
  Text path;
  std::int32_t code;
};

enum class RunMessageKind {
  kWorkbookMissing,     // no file at the workbook's path
  kWorkbookUnreadable,  // the workbook could not be read whole; `code` says why
  kWritesFailed,        // the run finished, but these list files could not be written
  kUnrecognisedFormat,  // the workbook is saved in a format the run does not read; `format`
};

struct RunMessage {
  RunMessageKind kind;
  TextView workbook = {};
  std::int32_t code = 0;
  std::span<const FailedWrite> failed_writes = {};
  WorkbookFormat format = WorkbookFormat::kXmlUtf8;
};

class RunHost {
 public:
  virtual ~RunHost() = default;
  // Shows a status and lets the owner process its pending input.
  virtual void ShowStatus(const RunStatus& status) = 0;
  // A message the user must acknowledge.
  virtual void ShowMessage(const RunMessage& message) = 0;
  virtual void SetHourglass(bool busy) = 0;
  virtual void Beep() = 0;
};

}  // namespace drumlo
