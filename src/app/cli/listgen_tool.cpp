#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>

#include "app/cli/console.h"
#include "app/report_text.h"
#include "app/startup_context.h"
#include "app/version.h"
#include "app/words.h"
#include "fileio/file_access.h"
#include "generator/gen_list.h"
#include "generator/numeric_value.h"

namespace drumlo {
namespace {

constexpr int kExitUsage = 64;

enum class ReportFormat { kNone, kText, kJson };

struct Options {
  Text workbook{kDefaultWorkbook};
  Text from{kDefaultIdFrom};
  Text to{kDefaultIdTo};
  std::optional<Text> out_dir;
  bool quiet = false;
  bool dry_run = false;
  bool timings = false;
  bool strict = false;
  ReportFormat report = ReportFormat::kNone;
  Language language = Language::kEnglish;
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
  Bilingual help;
  // Sets the option; false when the value is not one the option takes.
  bool (*apply)(Options& options, TextView value);
};

bool SetLanguage(Options& o, TextView v) {
  if (v == u"zh") return o.language = Language::kChinese, true;
  if (v == u"en") return o.language = Language::kEnglish, true;
  return false;
}

bool SetReport(Options& o, TextView v) {
  if (v.empty() || v == u"text") return o.report = ReportFormat::kText, true;
  if (v == u"json") return o.report = ReportFormat::kJson, true;
  return false;
}

constexpr OptionSpec kOptions[] = {
    {u"--from",
     {},
     Takes::kValue,
     u" ID",
     {u"要列出的第一个歌曲编号 (默认 5000)", u"first song ID to list (default 5000)"},
     [](Options& o, TextView v) { return o.from = v, true; }},
    {u"--to",
     {},
     Takes::kValue,
     u" ID",
     {u"要列出的最后一个歌曲编号 (默认 9999)", u"last song ID to list (default 9999)"},
     [](Options& o, TextView v) { return o.to = v, true; }},
    {u"--out",
     {},
     Takes::kValue,
     u" DIR",
     {u"列表文件的输出文件夹 (默认: 程序所在的文件夹; 该文件夹不可写时为当前文件夹)",
      u"folder for the list files (default: the program's folder, or the current folder when "
      u"the program's folder cannot be written)"},
     [](Options& o, TextView v) { return o.out_dir = Text(v), true; }},
    {u"--quiet",
     {},
     Takes::kNothing,
     {},
     {u"不显示状态文本 (退出代码不为 0 时仍显示结果)",
      u"do not print the status texts (what happened is still printed when the exit code is not "
      u"0)"},
     [](Options& o, TextView) { return o.quiet = true; }},
    {u"--report",
     {},
     Takes::kOptionalValue,
     u"[=text|json]",
     {u"显示本次运行的报告: 文本 (默认) 或一个 JSON 对象",
      u"print the run's report, as text (the default) or as one JSON object"},
     SetReport},
    {u"--lang",
     {},
     Takes::kValue,
     u" zh|en",
     {u"报告、摘要、帮助和用法错误的语言 (默认: 系统语言)",
      u"language of the report, summary, help and usage errors (default: the system's)"},
     SetLanguage},
    {u"--strict",
     {},
     Takes::kNothing,
     {},
     {u"有可能使列表文件出错的提示时以退出代码 7 结束",
      u"end with exit code 7 when a finding may spoil the list files"},
     [](Options& o, TextView) { return o.strict = true; }},
    {u"--dry-run",
     {},
     Takes::kNothing,
     {},
     {u"只检查, 不写入列表文件", u"do everything but write the list files"},
     [](Options& o, TextView) { return o.dry_run = true; }},
    {u"--timings",
     {},
     Takes::kNothing,
     {},
     {u"在标准错误输出中显示各阶段的秒数", u"print the seconds of each phase to standard error"},
     [](Options& o, TextView) { return o.timings = true; }},
    {u"--help",
     u"-h",
     Takes::kNothing,
     {},
     {u"显示本帮助后退出", u"print this help and exit"},
     [](Options& o, TextView) { return o.help = true; }},
    {u"--version",
     {},
     Takes::kNothing,
     {},
     {u"显示版本后退出", u"print the version and exit"},
     [](Options& o, TextView) { return o.version = true; }},
};

constexpr TextView kProgram = u"drumlo-listgen";
constexpr Bilingual kWorkbookHelp{
    u"歌曲总表 (默认: 当前文件夹中的 歌曲规范总表.xml)",
    u"the master table (default: 歌曲规范总表.xml in the current folder)"};
constexpr Bilingual kAbout{
    u"从歌曲总表 (XML 电子表格 2003 或 .xlsx 工作簿) 生成 Drumlo 歌曲列表文件。\n",
    u"Writes Drumlo song list files from a song master table (an XML Spreadsheet 2003\n"
    u"or .xlsx workbook).\n"};
// Laid out as help2man reads it: the heading becomes a subsection, each code a tagged paragraph.
constexpr Bilingual kExitCodes{
    u"退出代码:\n"
    u"  0   完成\n"
    u"  2   没有发现歌曲列表文件\n"
    u"  3   无法读取歌曲列表文件\n"
    u"  4   有列表文件未能写入\n"
    u"  5   工作簿中没有 Row\n"
    u"  6   无法识别歌曲列表文件的格式\n"
    u"  7   --strict 下有提示\n"
    u"  64  用法错误\n",
    u"Exit status:\n"
    u"  0   finished\n"
    u"  2   workbook missing\n"
    u"  3   workbook unreadable\n"
    u"  4   a list file not written\n"
    u"  5   no Row in the workbook\n"
    u"  6   the workbook's format is not one the tool reads (.xls, .ods, .xlsb,\n"
    u"      encrypted, no spreadsheet)\n"
    u"  7   findings under --strict\n"
    u"  64  usage error\n"};
constexpr TextView kVersion = u"drumlo-listgen " DRUMLO_VERSION_TEXT u"\n";

// Usage errors: the reason, then what it concerns.
constexpr Bilingual kUnknownOption{u"未知选项: ", u"unknown option: "};
constexpr Bilingual kOneWorkbook{u"只能指定一个歌曲列表文件: ",
                                 u"only one workbook may be named: "};
constexpr Bilingual kNeedsValue{u"缺少选项的值: ", u"this option needs a value: "};
constexpr Bilingual kTakesNoValue{u"该选项不接受值: ", u"this option takes no value: "};
constexpr Bilingual kUnknownValue{u"无法识别的值: ", u"unknown value: "};
constexpr Bilingual kIdOutOfRange{u"歌曲编号超出范围: ", u"song ID out of range: "};
constexpr Bilingual kIdNoNumber{u"歌曲编号不是数字: ", u"song ID is not a number: "};
constexpr Bilingual kOutNeedsFolder{u"--out 需要一个文件夹", u"--out needs a folder"};
constexpr Bilingual kOutIsFile{u"--out 指定的是文件, 不是文件夹: ",
                               u"--out names a file, not a folder: "};
constexpr Bilingual kOutMissing{u"输出文件夹不存在: ", u"output folder does not exist: "};
constexpr Bilingual kTryHelp{u"更多信息请运行 'drumlo-listgen --help'。\n",
                             u"Try 'drumlo-listgen --help' for more information.\n"};

// One line in the customary form, which help2man turns into the man page's synopsis; --help
// lists the options below it.
Text Usage(Language language) {
  return Text(Bilingual{u"用法: ", u"Usage: "}.In(language)) + Text(kProgram) +
         Text(Bilingual{u" [选项]... [WORKBOOK]\n", u" [OPTION]... [WORKBOOK]\n"}.In(language));
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

Text Help(Language language) {
  Text help = Usage(language) + Text(kAbout.In(language)) + u"\n" +
              HelpLine(u"WORKBOOK", kWorkbookHelp.In(language));
  for (const OptionSpec& o : kOptions) {
    Text left = Text(o.name) + Text(o.value_name);
    if (!o.alias.empty()) left += u", " + Text(o.alias);
    help += HelpLine(left, o.help.In(language));
  }
  return help + u"\n" + Text(kExitCodes.In(language));
}

// "/?" asks for help on Windows, where programs take options that way.
bool IsWindowsHelp(TextView arg) {
  return arg == u"/?" && PathSeparator() == u'\\';
}

const OptionSpec* FindOption(TextView name) {
  for (const OptionSpec& o : kOptions) {
    if (name == o.name || (!o.alias.empty() && name == o.alias)) return &o;
  }
  return nullptr;
}

// The language asked for with --lang, looked for before anything else so that even a mistake
// in an earlier argument is told in it; else the user's.
Language LanguageOf(const std::vector<Text>& args) {
  Options options;
  options.language = UserPrefersChinese() ? Language::kChinese : Language::kEnglish;
  for (std::size_t i = 0; i < args.size() && args[i] != u"--"; ++i) {
    if (args[i].starts_with(u"--lang=")) SetLanguage(options, TextView(args[i]).substr(7));
    if (args[i] == u"--lang" && i + 1 < args.size()) SetLanguage(options, args[i + 1]);
  }
  return options.language;
}

// Parses the arguments into `options`; the reason when they are not usable.
std::optional<Text> ParseArgs(const std::vector<Text>& args, Options& options) {
  const Language l = options.language;
  bool have_workbook = false;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const TextView arg = args[i];
    if (!options_ended && arg == u"--") {
      options_ended = true;
      continue;
    }
    if (!options_ended && IsWindowsHelp(arg)) {
      options.help = true;
      continue;
    }
    if (options_ended || arg.size() < 2 || arg[0] != u'-') {
      if (have_workbook) return Text(kOneWorkbook.In(l)) + Text(arg);
      options.workbook = arg;
      have_workbook = true;
      continue;
    }
    const std::size_t equals = arg.find(u'=');
    const OptionSpec* option = FindOption(arg.substr(0, equals));
    if (option == nullptr) return Text(kUnknownOption.In(l)) + Text(arg);
    TextView value;
    if (equals != TextView::npos) {
      if (option->takes == Takes::kNothing) return Text(kTakesNoValue.In(l)) + Text(arg);
      value = arg.substr(equals + 1);
    } else if (option->takes == Takes::kValue) {
      if (i + 1 >= args.size()) return Text(kNeedsValue.In(l)) + Text(arg);
      value = args[++i];
    }
    if (!option->apply(options, value)) return Text(kUnknownValue.In(l)) + Text(arg);
  }
  return std::nullopt;
}

// The ID fields are read as the window reads them: the number the text begins with, halves
// to even. A text with no number, or one that does not fit 32 bits, cannot start a run.
std::optional<Text> ParseId(TextView option, const Text& text, Language l, std::int32_t& id) {
  if (!LeadingNumber(text)) return Text(kIdNoNumber.In(l)) + Text(option) + u" " + text;
  const std::optional<std::int32_t> rounded = RoundToInt32(NumericValue(text));
  if (!rounded) return Text(kIdOutOfRange.In(l)) + Text(option) + u" " + text;
  id = *rounded;
  return std::nullopt;
}

std::optional<Text> CheckOutDir(const Options& options) {
  const Language l = options.language;
  if (!options.out_dir) return std::nullopt;
  const Text& dir = *options.out_dir;
  if (dir.empty()) return Text(kOutNeedsFolder.In(l));
  if (IsDirectory(dir)) return std::nullopt;
  if (FileExists(dir)) return Text(kOutIsFile.In(l)) + dir;
  return Text(kOutMissing.In(l)) + dir;
}

// Statuses go to standard error as they come; under --quiet only "空文件!", the one status
// that tells why a run failed.
class ConsoleHost : public RunHost {
 public:
  ConsoleHost(Console& console, bool quiet) : console_(console), quiet_(quiet) {}
  void ShowStatus(const RunStatus& status) override {
    if (!quiet_ || status.kind == RunStatusKind::kEmpty) console_.Err(StatusText(status) + u"\n");
  }
  void ShowMessage(const RunMessage& message) override {
    console_.Err(MessageText(message, Shell::kTool) + u"\n");
  }
  void SetHourglass(bool) override {}
  void Beep() override {}

 private:
  Console& console_;
  bool quiet_;
};

int UsageError(Console& console, TextView reason, Language language) {
  console.Err(Text(kProgram) + u": " + Text(reason) + u"\n");
  console.Err(Usage(language));
  console.Err(kTryHelp.In(language));
  return kExitUsage;
}

// An installed tool lives in a folder its users cannot write (/usr/bin): its list files then go
// to the current directory, as the empty prefix names it.
Text DefaultOutputPrefix() {
  const Text app_dir = GetAppDir();
  return IsWritableDirectory(app_dir) ? app_dir : Text();
}

Text OutputPrefix(const Options& options) {
  if (!options.out_dir) return DefaultOutputPrefix();
  Text prefix = *options.out_dir;
  const char16_t last = prefix.back();
  if (last != u'/' && last != PathSeparator()) prefix.push_back(PathSeparator());
  return prefix;
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
  options.language = LanguageOf(args);
  const Language l = options.language;
  if (const std::optional<Text> error = ParseArgs(args, options)) {
    return UsageError(console, *error, l);
  }
  if (options.help) {
    console.Out(Help(l));
    return 0;
  }
  if (options.version) {
    console.Out(kVersion);
    return 0;
  }
  std::int32_t id_to = 0;
  std::int32_t id_from = 0;
  if (auto error = ParseId(u"--to", options.to, l, id_to)) return UsageError(console, *error, l);
  if (auto error = ParseId(u"--from", options.from, l, id_from)) {
    return UsageError(console, *error, l);
  }
  if (auto error = CheckOutDir(options)) return UsageError(console, *error, l);

  ConsoleHost host(console, options.quiet);
  WindowSongValues window;
  RunReport report;
  RunContext context{host, SystemFiles(), window, OutputPrefix(options), options.dry_run, &report};
  RunTimings timings;
  if (options.timings) context.timings = &timings;
  const RunResult result = GenList(options.workbook, id_from, id_to, context);
  const Outcome outcome = OutcomeOf(result, report, options.strict);
  const int exit_code = ExitCodeOf(outcome);
  if (options.timings) PrintTimings(console, timings);
  if (!options.quiet || exit_code != 0) console.Err(SummaryLine(report, l));
  if (options.report == ReportFormat::kText)
    console.Out(ReportText(report, outcome, result.code, l));
  if (options.report == ReportFormat::kJson) console.Out(ReportJson(report, outcome, result.code));
  return exit_code;
}

}  // namespace drumlo
