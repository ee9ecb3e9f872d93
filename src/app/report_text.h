// The report of a run as the user reads it: text in Chinese or English, or one JSON object; the
// one-line summary of the command-line tool; and the outcome with its exit code.
#pragma once

#include <cstdint>

#include "app/words.h"
#include "common/text.h"
#include "generator/gen_list.h"
#include "generator/run_report.h"

namespace drumlo {

enum class Outcome {
  kFinished,
  kWorkbookMissing,
  kWorkbookUnreadable,
  kWritesFailed,
  kEmpty,
  kUnrecognisedFormat,
  kStrictFindings,
};

// 0, 2, 3, 4, 5, 6 and 7; a failed write wins over a strict finding.
[[nodiscard]] int ExitCodeOf(Outcome outcome);
// `strict`: findings that may spoil the list files end the run as a failure.
[[nodiscard]] Outcome OutcomeOf(const RunResult& result, const RunReport& report, bool strict);

// What the counts of a report say, true to what is on disk.
struct ReportCounts {
  std::int64_t files_written = 0;  // files that hold this run's entries now
  std::int64_t songs_written = 0;  // entries in them
  std::int64_t files_not_written = 0;
  std::int64_t files_replaced = 0;  // written, then replaced by a later group of the run
  std::int64_t rows_skipped = 0;    // rows left out, those outside the song ID range aside
  std::int64_t value_problems = 0;
  std::int64_t other_findings = 0;
};
[[nodiscard]] ReportCounts CountsOf(const RunReport& report);

// Where something lies: "歌曲!H16", "歌曲 row 17" / "歌曲 第17行", "workbook" / "工作簿".
[[nodiscard]] Text PlaceText(const RunReport& report, const Place& place, Language language);

[[nodiscard]] Text ReportText(const RunReport& report, Outcome outcome, std::int32_t code,
                              Language language);
[[nodiscard]] Text ReportJson(const RunReport& report, Outcome outcome, std::int32_t code);
// "46 songs written to 10 list files; 5 rows skipped, 2 values with problems: see --report";
// empty after a run without findings.
[[nodiscard]] Text SummaryLine(const RunReport& report, Language language);

}  // namespace drumlo
