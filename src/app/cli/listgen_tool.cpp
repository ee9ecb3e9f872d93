#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>

#include "app/cli/console.h"
#include "app/cli/report_format.h"
#include "app/startup_context.h"
#include "app/version.h"
#include "app/words.h"
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

struct Options {
  Text workbook{kDefaultWorkbook};
  Text from{kDefaultIdFrom};
  Text to{kDefaultIdTo};
  Text out_dir;
  bool quiet = false;
  bool dry_run = false;
  bool timings = false;
  ReportFormat report = ReportFormat::kNone;
  bool help = false;
  bool version = false;
};

enum class Takes { kNothing, kValue, kOptionalValue };

// One option: how it is written, what it takes, what --help says of it, and what it sets.
// Parsing and --help both read this table, so that they cannot drift apart.
struct OptionSpec {
  TextView name;
  TextView alias;
  Takes takes;
  TextView value_name;  // as the usage line and --help show the value
  TextView help;
  // Sets the option; false when the value is not one the option takes.
  bool (*apply)(Options& options, TextView value);
};

constexpr OptionSpec kOptions[] = {
    {u"--from",
     {},
     Takes::kValue,
     u" ID",
     u"first song ID to list (default 5000)",
     [](Options& o, TextView v) { return o.from = v, true; }},
    {u"--to",
     {},
     Takes::kValue,
     u" ID",
     u"last song ID to list (default 9999)",
     [](Options& o, TextView v) { return o.to = v, true; }},
    {u"--out",
     {},
     Takes::kValue,
     u" DIR",
     u"directory for the list files (default: the program's directory, or the current "
     u"directory when the program's directory cannot be written)",
     [](Options& o, TextView v) { return o.out_dir = v, true; }},
    {u"--quiet",
     {},
     Takes::kNothing,
     {},
     u"do not print the status texts",
     [](Options& o, TextView) { return o.quiet = true; }},
    {u"--report",
     {},
     Takes::kOptionalValue,
     u"[=text|json]",
     u"print what the run found, as text (the default) or as one JSON object",
     [](Options& o, TextView v) {
       if (v.empty() || v == u"text") return o.report = ReportFormat::kText, true;
       if (v == u"json") return o.report = ReportFormat::kJson, true;
       return false;
     }},
    {u"--dry-run",
     {},
     Takes::kNothing,
     {},
     u"do everything but write the list files",
     [](Options& o, TextView) { return o.dry_run = true; }},
    {u"--timings",
     {},
     Takes::kNothing,
     {},
     u"print the seconds of each phase to standard error",
     [](Options& o, TextView) { return o.timings = true; }},
    {u"--help",
     u"-h",
     Takes::kNothing,
     {},
     u"print this help and exit",
     [](Options& o, TextView) { return o.help = true; }},
    {u"--version",
     {},
     Takes::kNothing,
     {},
     u"print the version and exit",
     [](Options& o, TextView) { return o.version = true; }},
};

constexpr TextView kProgram = u"drumlo-listgen";
constexpr TextView kWorkbookHelp =
    u"the master table (default: 歌曲规范总表.xml in the current directory)";
constexpr TextView kAbout =
    u"Writes Drumlo song list files from a song master table (SpreadsheetML workbook).\n";
// Laid out as help2man reads it: the heading becomes a subsection, each code a tagged paragraph.
constexpr TextView kExitCodes =
    u"Exit status:\n"
    u"  0   finished\n"
    u"  2   workbook missing\n"
    u"  3   workbook unreadable\n"
    u"  4   a list file not written\n"
    u"  5   no Row in the workbook\n"
    u"  64  usage error\n";
constexpr TextView kVersion = u"drumlo-listgen " DRUMLO_VERSION_TEXT u"\n";

// One line in the customary form, which help2man turns into the man page's synopsis; --help
// lists the options below it.
Text Usage() {
  return u"Usage: " + Text(kProgram) + u" [OPTION]... [WORKBOOK]\n";
}

// "  left    help", the help broken at spaces before 80 columns and carried on in its column.
Text HelpLine(TextView left, TextView help) {
  constexpr std::size_t kHelpColumn = 24;
  constexpr std::size_t kLineWidth = 79;
  Text line = u"  " + Text(left);
  line.append(line.size() < kHelpColumn ? kHelpColumn - line.size() : 1, u' ');
  std::size_t column = line.size();
  for (bool first = true; !help.empty(); first = false) {
    const std::size_t space = help.find(u' ');
    const TextView word = help.substr(0, space);
    help = space == TextView::npos ? TextView() : help.substr(space + 1);
    if (!first && column + 1 + word.size() > kLineWidth) {
      line += u"\n" + Text(kHelpColumn, u' ');
      column = kHelpColumn;
    } else if (!first) {
      line += u' ';
      ++column;
    }
    line += word;
    column += word.size();
  }
  return line + u"\n";
}

Text Help() {
  Text help = Usage() + Text(kAbout) + u"\n" + HelpLine(u"WORKBOOK", kWorkbookHelp);
  for (const OptionSpec& o : kOptions) {
    Text left = Text(o.name) + Text(o.value_name);
    if (!o.alias.empty()) left += u", " + Text(o.alias);
    help += HelpLine(left, o.help);
  }
  return help + u"\n" + Text(kExitCodes);
}

const OptionSpec* FindOption(TextView name) {
  for (const OptionSpec& o : kOptions) {
    if (name == o.name || (!o.alias.empty() && name == o.alias)) return &o;
  }
  return nullptr;
}

// Parses the arguments into `options`; the reason when they are not usable.
std::optional<Text> ParseArgs(const std::vector<Text>& args, Options& options) {
  bool have_workbook = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const TextView arg = args[i];
    if (arg.size() < 2 || arg[0] != u'-') {
      if (have_workbook) return u"only one workbook may be named";
      options.workbook = arg;
      have_workbook = true;
      continue;
    }
    const std::size_t equals = arg.find(u'=');
    const OptionSpec* option = FindOption(arg.substr(0, equals));
    if (option == nullptr) return u"unknown option " + Text(arg);
    TextView value;
    if (equals != TextView::npos) {
      if (option->takes == Takes::kNothing) return Text(option->name) + u" takes no value";
      value = arg.substr(equals + 1);
    } else if (option->takes == Takes::kValue) {
      if (i + 1 >= args.size()) return Text(option->name) + u" needs a value";
      value = args[++i];
    }
    if (!option->apply(options, value)) return u"unknown value for " + Text(arg);
  }
  return std::nullopt;
}

// The ID fields are read as the window reads them: the number the text begins with, halves
// to even; one that does not fit 32 bits cannot start a run.
std::optional<std::int32_t> ParseId(const Text& text) {
  return RoundToInt32(NumericValue(text));
}

class ConsoleHost : public RunHost {
 public:
  ConsoleHost(Console& console, bool quiet) : console_(console), quiet_(quiet) {}
  void ShowStatus(const RunStatus& status) override {
    if (!quiet_) console_.Err(StatusText(status) + u"\n");
  }
  void ShowMessage(const RunMessage& message) override {
    console_.Err(MessageText(message) + u"\n");
  }
  void SetHourglass(bool) override {}
  void Beep() override {}

 private:
  Console& console_;
  bool quiet_;
};

int UsageError(Console& console, TextView reason) {
  console.Err(Text(kProgram) + u": " + Text(reason) + u"\n");
  console.Err(Usage());
  console.Err(u"Try '" + Text(kProgram) + u" --help' for more information.\n");
  return kExitUsage;
}

// An installed tool lives in a folder its users cannot write (/usr/bin): its list files then go
// to the current directory, as the empty prefix names it.
Text DefaultOutputPrefix() {
  const Text app_dir = GetAppDir();
  return IsWritableDirectory(app_dir) ? app_dir : Text();
}

Text OutputPrefix(const Options& options) {
  if (options.out_dir.empty()) return DefaultOutputPrefix();
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
  if (const std::optional<Text> error = ParseArgs(args, options)) {
    return UsageError(console, *error);
  }
  if (options.help) {
    console.Out(Help());
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
