// The generation run: workbook in, grouped list files out.
#pragma once

#include <cstdint>

#include "common/text.h"
#include "fileio/file_access.h"
#include "generator/run_host.h"
#include "generator/run_report.h"
#include "generator/run_timings.h"
#include "generator/song_rules.h"

namespace drumlo {

// Everything a run borrows from its owner.
struct RunContext {
  RunHost& host;
  FileAccess& files;
  WindowSongValues& window;       // outlives the run: values carry over to the next run
  Text output_dir;                // prefix of every list file path, ending with a separator
  bool dry_run = false;           // everything but the writes
  RunReport* report = nullptr;    // filled when given
  RunTimings* timings = nullptr;  // filled when given, for benchmarks
  // The workbook is read on a thread of its own, ahead of the song rules; false reads it on the
  // calling thread when the run asks for rows (same results).
  bool reading_thread = true;
};

enum class RunOutcome {
  kFinished,
  kWorkbookMissing,
  kWorkbookUnreadable,
  kNoRows,
  kUnrecognisedFormat,  // nothing read: a format such as .xls or .ods, or no spreadsheet at all
};

struct RunResult {
  RunOutcome outcome = RunOutcome::kFinished;
  std::int32_t failed_writes = 0;
  std::int32_t code = 0;  // kWorkbookUnreadable: why
};

RunResult GenList(TextView fn, std::int32_t IdFrom, std::int32_t IdTo, RunContext& context);

}  // namespace drumlo
