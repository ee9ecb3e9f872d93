// The report of a run as the user reads it: text in Chinese or English, or one JSON object; the
// one-line summary of the command-line tool; the outcome with its exit code; and the window's
// report, in Chinese, for its text box.
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

// The lines of the window's report that ask for attention: one per finding and one per list
// file not written (the values carried over are a summary and do not count).
[[nodiscard]] std::int64_t NoticeCount(const RunReport& report);
// Whether a run's report takes the place of the last one the window shows: a run that read
// nothing (the workbook missing or unreadable) leaves the last report as it was.
[[nodiscard]] bool ReplacesLastReport(const RunResult& result);

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// "2026-03-01 09:05:07"
[[nodiscard]] Text DateTimeText(const DateTime& t);

// The report as the window shows it: Chinese, lines ended with CR LF, list files named within
// `output_folder`, and no line broken by a cell's own line break.
[[nodiscard]] Text WindowReportText(const RunReport& report, const RunResult& result,
                                    TextView finished_at, TextView output_folder);

}  // namespace drumlo
