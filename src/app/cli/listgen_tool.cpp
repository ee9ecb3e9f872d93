#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>

#include "app/cli/console.h"
#include "app/cli/report_format.h"
#include "app/startup_context.h"
#include "fileio/file_access.h"
#include "generator/gen_list.h"
#include "generator/numeric_value.h"

namespace drumlo {
namespace {

enum ExitCode : int {
  kExitFinished = 0,
  kExitWorkbookMissing = 2,
  kExitWorkbookUnreadable = 3,
  kExitWriteFailed = 4,
  kExitNoRows = 5,
  kExitUsage = 64,
};

constexpr TextView kUsage =
    u"usage: drumlo-listgen [--from ID] [--to ID] [--out DIR] [--quiet] [--report[=json]]\n"
    u"                      [--dry-run] [--timings] [WORKBOOK]\n";

constexpr TextView kHelp =
    u"Writes Drumlo song list files from a song master table (SpreadsheetML workbook).\n"
    u"\n"
    u"  WORKBOOK         the master table (default: 歌曲规范总表.xml in the current directory)\n"
    u"  --from ID        first song ID to list (default 5000)\n"
    u"  --to ID          last song ID to list (default 9999)\n"
    u"  --out DIR        directory for the list files (default: the program's directory)\n"
    u"  --quiet          do not print the status texts\n"
    u"  --report[=json]  print what the run found, as text or as one JSON object\n"
    u"  --dry-run        do everything but write the list files\n"
    u"  --timings        print the seconds of each phase to standard error\n"
    u"  --help, --version\n"
    u"\n"
    u"Exit codes: 0 finished, 2 workbook missing, 3 workbook unreadable,\n"
    u"4 a list file not written, 5 no Row in the workbook, 64 usage error.\n";

constexpr TextView kVersion = u"drumlo-listgen 1.0.0.52\n";

struct Options {
  Text workbook = u"歌曲规范总表.xml";
  Text from = u"5000";
  Text to = u"9999";
  Text out_dir;
  bool quiet = false;
  bool dry_run = false;
  bool timings = false;
  ReportFormat report = ReportFormat::kNone;
  bool help = false;
  bool version = false;
};

struct ParseError {
  Text reason;
};

bool TakeValue(const std::vector<Text>& args, std::size_t& i, TextView name, Text& value,
               std::optional<ParseError>& error) {
  const Text& arg = args[i];
  if (arg == name) {
    if (i + 1 >= args.size()) {
      error = ParseError{Text(name) + u" needs a value"};
      return true;
    }
    value = args[++i];
    return true;
  }
  if (arg.size() > name.size() && TextView(arg).substr(0, name.size()) == name &&
      arg[name.size()] == u'=') {
    value = arg.substr(name.size() + 1);
    return true;
  }
  return false;
}

std::optional<ParseError> ParseArgs(const std::vector<Text>& args, Options& options) {
  std::optional<ParseError> error;
  bool have_workbook = false;
  for (std::size_t i = 0; i < args.size() && !error; ++i) {
    const Text& arg = args[i];
    if (TakeValue(args, i, u"--from", options.from, error) ||
        TakeValue(args, i, u"--to", options.to, error) ||
        TakeValue(args, i, u"--out", options.out_dir, error)) {
      continue;
    }
    if (arg == u"--quiet") {
      options.quiet = true;
    } else if (arg == u"--dry-run") {
      options.dry_run = true;
    } else if (arg == u"--timings") {
      options.timings = true;
    } else if (arg == u"--report") {
      options.report = ReportFormat::kText;
    } else if (arg == u"--report=json") {
      options.report = ReportFormat::kJson;
    } else if (arg == u"--report=text") {
      options.report = ReportFormat::kText;
    } else if (arg == u"--help" || arg == u"-h") {
      options.help = true;
    } else if (arg == u"--version") {
      options.version = true;
    } else if (arg.size() > 1 && arg[0] == u'-') {
      error = ParseError{u"unknown option " + arg};
    } else if (have_workbook) {
      error = ParseError{u"only one workbook may be named"};
    } else {
      options.workbook = arg;
      have_workbook = true;
    }
  }
  return error;
}

// The ID fields are read as the window reads them: the number the text begins with, halves
// to even; one that does not fit 32 bits cannot start a run.
std::optional<std::int32_t> ParseId(const Text& text) {
  return RoundToInt32(NumericValue(text));
}

class ConsoleHost : public RunHost {
 public:
  ConsoleHost(Console& console, bool quiet) : console_(console), quiet_(quiet) {}
  void UpdateStatus(TextView status) override {
    if (!quiet_) console_.Err(Text(status) + u"\n");
  }
  void SetHourglass(bool) override {}
  void ShowMessage(TextView text, MessageIcon) override { console_.Err(Text(text) + u"\n"); }
  void Beep() override {}

 private:
  Console& console_;
  bool quiet_;
};

int UsageError(Console& console, TextView reason) {
  console.Err(u"drumlo-listgen: " + Text(reason) + u"\n");
  console.Err(kUsage);
  return kExitUsage;
}

Text OutputPrefix(const Options& options) {
  if (options.out_dir.empty()) return GetAppDir();
  Text prefix = options.out_dir;
  const char16_t last = prefix.back();
  if (last != u'/' && last != PathSeparator()) prefix.push_back(PathSeparator());
  return prefix;
}

int ExitCodeOf(const RunResult& result) {
  switch (result.outcome) {
    case RunOutcome::kWorkbookMissing:
      return kExitWorkbookMissing;
    case RunOutcome::kWorkbookUnreadable:
      return kExitWorkbookUnreadable;
    case RunOutcome::kNoRows:
      return kExitNoRows;
    case RunOutcome::kFinished:
      break;
  }
  return result.failed_writes > 0 ? kExitWriteFailed : kExitFinished;
}

// One "phase <name> <seconds>" line per phase, for benchmark scripts.
void PrintTimings(Console& console, const RunTimings& t) {
  const std::pair<const char*, double> phases[] = {{"read", t.read},   {"decode", t.decode},
                                                   {"scan", t.scan},   {"encode", t.encode},
                                                   {"write", t.write}, {"total", t.total}};
  for (const auto& [name, seconds] : phases) {
    char line[64];
    const int length = std::snprintf(line, sizeof line, "phase %s %.6f\n", name, seconds);
    console.Err(Text(line, line + length));
  }
}

}  // namespace

int RunListTool(const std::vector<Text>& args, Console& console) {
  Options options;
  if (std::optional<ParseError> error = ParseArgs(args, options)) {
    return UsageError(console, error->reason);
  }
  if (options.help) {
    console.Out(kUsage);
    console.Out(kHelp);
    return kExitFinished;
  }
  if (options.version) {
    console.Out(kVersion);
    return kExitFinished;
  }
  const std::optional<std::int32_t> id_to = ParseId(options.to);
  if (!id_to) return UsageError(console, u"song ID out of range: --to " + options.to);
  const std::optional<std::int32_t> id_from = ParseId(options.from);
  if (!id_from) return UsageError(console, u"song ID out of range: --from " + options.from);
  if (!options.out_dir.empty() && !IsDirectory(options.out_dir)) {
    return UsageError(console, u"output directory does not exist: " + options.out_dir);
  }

  ConsoleHost host(console, options.quiet);
  WindowSongValues window;
  RunReport report;
  RunContext context{host,
                     SystemFiles(),
                     window,
                     OutputPrefix(options),
                     options.dry_run,
                     options.report == ReportFormat::kNone ? nullptr : &report};
  RunTimings timings;
  if (options.timings) context.timings = &timings;
  const RunResult result = GenList(options.workbook, *id_from, *id_to, context);
  if (options.timings) PrintTimings(console, timings);
  if (options.report != ReportFormat::kNone) {
    console.Out(FormatReport(report, options.report, options.dry_run));
  }
  return ExitCodeOf(result);
}

}  // namespace drumlo
