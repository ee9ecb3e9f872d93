// The generation run: workbook in, grouped list files out.
#pragma once

#include <cstdint>
#include <vector>

#include "common/text.h"
#include "fileio/file_access.h"
#include "generator/song_rules.h"

namespace drumlo {

inline constexpr TextView kAppTitle = u"Drumlo歌曲列表生成器";

enum class MessageIcon { kNone, kInformation, kWarning };

// The window operations a run uses; the window, the command-line tool and tests provide them.
class RunHost {
 public:
  virtual ~RunHost() = default;
  // Shows a status text and lets the owner process its pending input.
  virtual void UpdateStatus(TextView status) = 0;
  virtual void SetHourglass(bool busy) = 0;
  // A modal message with one OK button under the application title.
  virtual void ShowMessage(TextView text, MessageIcon icon) = 0;
  virtual void Beep() = 0;
};

// What a run met, for reports. Rows are 1-based among the document's Row elements (the header
// is row 1); columns are 1-based workbook columns, 0 where no column applies.
enum class FindingKind {
  kIndexOutOfRange,  // row abandoned: INDEX 0, outside the range, or outside 32 bits
  kXmlRejected,      // row abandoned: XML name begins with "m"
  kPakRejected,      // row abandoned: PAK name begins with "m"
  kNoIndex,          // row skipped: no valued INDEX cell
  kOutsideColumns,   // cell passed over: its column lies outside the 21 columns
  kValueDoesNotFit,  // cell passed over: IMAGE, LV or ss:Index value outside its type
  kQuoteInValue,     // a value holding a double quote, which ends its attribute early
};

struct Finding {
  FindingKind kind;
  std::int32_t row;
  std::int32_t column;
};

struct ListFileRecord {
  Text path;
  std::int32_t first_index = 0;
  std::int32_t entries = 0;
  std::int32_t result = 0;      // result code of the write (0 when written or dry run)
  bool replaced_later = false;  // a later group of the same run wrote the same file
};

struct RunReport {
  std::int32_t rows_read = 0;  // data rows walked (the header row not counted)
  std::int32_t rows_accepted = 0;
  std::vector<Finding> findings;
  std::vector<ListFileRecord> files;
};

enum class RunOutcome { kFinished, kWorkbookMissing, kWorkbookUnreadable, kNoRows };

struct RunResult {
  RunOutcome outcome = RunOutcome::kFinished;
  std::int32_t failed_writes = 0;
};

// Seconds a run spent in each phase; "scan" covers scanning and the song rules.
struct RunTimings {
  double read = 0;
  double decode = 0;
  double scan = 0;
  double encode = 0;  // building the list files' bytes
  double write = 0;
  double total = 0;
  bool read_alongside_scan = false;   // the workbook was read and decoded while rows were read
  bool write_alongside_scan = false;  // list files were written while rows were read
};

// Where a phase's seconds add up, or null when the run keeps no timings.
inline double* PhaseTotal(RunTimings* timings, double RunTimings::*phase) {
  return timings == nullptr ? nullptr : &(timings->*phase);
}

// Everything a run borrows from its owner.
struct RunContext {
  RunHost& host;
  FileAccess& files;
  WindowSongValues& window;  // outlives the run: values carry over to the next run
  Text output_dir;           // prefix of every list file path, ending with a separator
  bool dry_run = false;      // everything but the writes
  RunReport* report = nullptr;
  RunTimings* timings = nullptr;  // filled when given, for benchmarks
  // A large workbook is normally decoded and its rows read on helper threads; this keeps all of
  // the run on the calling thread (same results, for comparisons).
  bool single_thread = false;
};

RunResult GenList(TextView fn, std::int32_t IdFrom, std::int32_t IdTo, RunContext& context);

}  // namespace drumlo
