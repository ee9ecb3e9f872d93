// What a run met and did, for the report of the command-line tool and of the window: every row
// left out, every value that was altered or may be wrong, placed as the spreadsheet shows it,
// and every list file with the result of its write.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/text.h"
#include "generator/run_host.h"
#include "generator/song_rules.h"

namespace drumlo {

enum class FindingKind {
  // A row left out: abandoned at a cell, or skipped at its end.
  kIndexZero,
  kIndexDoesNotFit,
  kXmlRejected,
  kPakRejected,
  kImageDoesNotFit,
  kLevelDoesNotFit,
  kNoIndex,
  // A value passed over, altered or likely to spoil the list file.
  kOutsideColumns,            // a valued cell beyond the 21 columns
  kHeaderOutsideColumns,      // a header name beyond the 21 columns
  kIndexAttributeDoesNotFit,  // an ss:Index that does not fit: the cell is passed over
  kNoNumber,                  // an IMAGE or LV value without a number: 0 is used
  kQuoteInValue,              // a double quote ends its attribute in the list file early
  kLineBreakInValue,          // a line break splits its entry in the list file
  // The table as a whole.
  kNoIndexColumn,     // the header names no INDEX column; `text` lists the names found
  kDuplicateId,       // a song ID an earlier row was already written with
  kPackageAgain,      // a package that starts again after another: a second list file for it
  kHeaderRepeated,    // a data row holding the header names again (another sheet's header)
  kWorkbookCutShort,  // no </Workbook> at the end: the file may be cut short
  kRowsEndedEarly,    // a row that cannot be read ends the rows; `count`: <Row tags left unread
};

[[nodiscard]] bool LeavesRowOut(FindingKind kind);
[[nodiscard]] bool ConcernsValue(FindingKind kind);

// Where something lies, as a spreadsheet program shows it.
struct Place {
  std::uint32_t sheet = 0;  // index into RunReport::sheets; 0: before any worksheet
  std::int64_t row = 0;     // 1-based within its worksheet; 0: the workbook as a whole
  std::int64_t column = 0;  // 1-based; 0: the row as a whole
};

// A column's letters as a spreadsheet shows them: 1 is A, 27 is AA; empty for 0.
[[nodiscard]] Text ColumnLetters(std::int64_t column);

struct Finding {
  FindingKind kind;
  Place place;
  Text text;               // the cell's text as the spreadsheet shows it, cut short
  std::int64_t count = 0;  // kRowsEndedEarly: the <Row tags left unread
};

// Rows that took a column's value from an earlier row, having none of their own.
struct CarriedOver {
  Column column;
  std::int64_t rows = 0;
  std::vector<Place> first;  // the first three
};

struct ListFileRecord {
  Text path;
  std::int32_t first_index = 0;
  std::int32_t entries = 0;
  std::int32_t result = 0;      // result code of the write (0 when written or dry run)
  bool replaced_later = false;  // a later group of the same run wrote the same file
};

struct RunReport {
  Text workbook;
  std::optional<WorkbookFormat> format;  // none when the workbook was missing or unreadable
  std::int32_t id_from = 0;
  std::int32_t id_to = 0;
  bool dry_run = false;
  std::vector<Text> sheets{Text()};  // worksheet names; [0] stands for no worksheet
  std::int64_t rows_read = 0;        // data rows taken (the header row not counted)
  std::int64_t rows_accepted = 0;
  std::int64_t rows_outside_range = 0;
  std::vector<Finding> findings;
  std::vector<CarriedOver> carried_over;
  std::vector<ListFileRecord> files;
};

// The list files of a run in the order they were written: each with the code of its write, a
// file marked when a later group of the run wrote the same path, and the writes that failed.
class WriteLog {
 public:
  void Record(Text path, std::int32_t first_index, std::int32_t entries, std::int32_t code);
  [[nodiscard]] const std::vector<FailedWrite>& Failed() const { return failed_; }
  [[nodiscard]] std::vector<ListFileRecord> TakeFiles() { return std::move(files_); }

 private:
  std::vector<ListFileRecord> files_;
  std::vector<FailedWrite> failed_;
  std::unordered_map<Text, std::size_t> last_written_;  // path -> its last successful record
};

}  // namespace drumlo
