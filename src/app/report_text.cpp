#include "app/report_text.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "generator/song_rules.h"

namespace drumlo {
namespace {

struct OutcomeWords {
  Outcome outcome;
  int exit_code;
  TextView key;
  Bilingual text;
};

constexpr OutcomeWords kOutcomes[] = {
    {Outcome::kFinished, 0, u"finished", {u"完成", u"finished"}},
    {Outcome::kWorkbookMissing, 2, u"missing", {u"没有发现歌曲列表文件", u"workbook missing"}},
    {Outcome::kWorkbookUnreadable,
     3,
     u"unreadable",
     {u"无法读取歌曲列表文件", u"workbook unreadable"}},
    {Outcome::kWritesFailed,
     4,
     u"writes_failed",
     {u"有列表文件未能写入", u"list files not written"}},
    {Outcome::kEmpty, 5, u"empty", {u"空文件", u"no Row in the workbook"}},
    {Outcome::kUnrecognisedFormat,
     6,
     u"unrecognised_format",
     {u"无法识别歌曲列表文件的格式", u"the workbook's format is not one the tool reads"}},
    {Outcome::kStrictFindings,
     7,
     u"strict_findings",
     {u"--strict 下有提示", u"findings under --strict"}},
};

const OutcomeWords& WordsOf(Outcome outcome) {
  for (const OutcomeWords& words : kOutcomes) {
    if (words.outcome == outcome) return words;
  }
  return kOutcomes[0];
}

// Findings that may spoil the list files or leave songs out unnoticed.
bool StopsStrictRun(FindingKind kind) {
  switch (kind) {
    case FindingKind::kIndexZero:
    case FindingKind::kOutsideColumns:
    case FindingKind::kIndexAttributeDoesNotFit:
      return false;
    default:
      return true;
  }
}

TextView ColumnName(Column column) {
  static constexpr TextView kNames[] = {u"",   u"INDEX", u"XML",    u"PAK",  u"IMAGE",
                                        u"LV", u"NAME",  u"ARTIST", u"GENRE"};
  return kNames[static_cast<std::size_t>(column)];
}

// "xml-utf8", "xlsx", ...; "-" for a workbook that was never read.
Text FormatKey(std::optional<WorkbookFormat> format) {
  if (!format) return u"-";
  const std::string_view name = WorkbookFormatName(*format);
  return Text(name.begin(), name.end());
}

Text Num(std::int64_t n) {
  return DecimalText(n);
}

// "1 entry", "2 entries"; Chinese has one form.
Text Counted(std::int64_t n, TextView one, TextView many, TextView zh, Language language) {
  if (language == Language::kChinese) return Num(n) + u" " + Text(zh);
  return Num(n) + u" " + Text(n == 1 ? one : many);
}

// A worksheet name as a spreadsheet writes it in a reference: quoted when it holds more than
// letters and digits.
Text SheetPrefix(const Text& name) {
  if (name.empty()) return Text();
  bool plain = true;
  for (const char16_t unit : name) {
    if (unit < 0x80 && !((unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') ||
                         (unit >= u'a' && unit <= u'z') || unit == u'_')) {
      plain = false;
    }
  }
  if (plain) return name;
  Text quoted = u"'";
  for (const char16_t unit : name) {
    quoted += unit;
    if (unit == u'\'') quoted += unit;
  }
  return quoted + u"'";
}

Text CellRef(const Place& place) {
  return ColumnLetters(place.column) + Num(place.row);
}

const Text& SheetName(const RunReport& report, const Place& place) {
  static const Text kNone;
  return place.sheet < report.sheets.size() ? report.sheets[place.sheet] : kNone;
}

struct Labels {
  Bilingual workbook{u"歌曲列表文件: ", u"workbook: "};
  Bilingual format{u"格式: ", u"format: "};
  Bilingual ids{u"歌曲编号: ", u"song IDs: "};
  Bilingual to{u" 到 ", u" to "};
  Bilingual outcome{u"结果: ", u"outcome: "};
  Bilingual exit_code{u"退出代码 ", u"exit code "};
  Bilingual error_code{u"错误代码 ", u"error code "};
  Bilingual dry_run{u"试运行: 没有写入任何列表文件", u"dry run: no list file was written"};
  Bilingual rows_read{u"已读取的行: ", u"rows read: "};
  Bilingual accepted{u"已接受的歌曲: ", u"songs accepted: "};
  Bilingual outside{u"超出歌曲编号范围的行: ", u"rows outside the song ID range: "};
  Bilingual skipped{u"被跳过的行: ", u"rows skipped: "};
  Bilingual problems{u"有问题的值: ", u"values with problems: "};
  Bilingual written{u"已写入的列表文件: ", u"list files written: "};
  Bilingual would_write{u"将写入的列表文件: ", u"list files that would be written: "};
  Bilingual not_written{u"未能写入的列表文件: ", u"list files not written: "};
  Bilingual replaced{u"被本次运行中后面的分组覆盖的列表文件: ",
                     u"list files replaced by a later group: "};
  Bilingual failed_file{u", 未能写入 (", u", not written ("};
  Bilingual replaced_file{u", 已被后面的分组覆盖", u", replaced by a later group of this run"};
  Bilingual findings{u"提示:", u"findings:"};
  Bilingual carried{u"沿用前一行的值:", u"values carried over from an earlier row:"};
  // The window's report only, which is Chinese.
  TextView finished_at = u"完成时间: ";
  TextView folder = u"列表文件目录: ";
  TextView no_rows = u"工作簿中没有任何行: 没有写入列表文件";
};
const Labels kLabels;

// A list file's path, shown without `folder` where it lies there.
Text FileLine(const ListFileRecord& file, Language language, TextView folder) {
  const TextView path = !folder.empty() && TextView(file.path).starts_with(folder)
                            ? TextView(file.path).substr(folder.size())
                            : TextView(file.path);
  Text line =
      u"  " + Text(path) + u": " + Counted(file.entries, u"entry", u"entries", u"条", language);
  if (file.result != 0) {
    line += Text(kLabels.failed_file.In(language)) + Text(kLabels.error_code.In(language)) +
            Num(file.result) + u": " + Text(ReasonOf(file.result, language)) + u")";
  }
  if (file.replaced_later) line += kLabels.replaced_file.In(language);
  return line;
}

Text FindingLine(const RunReport& report, const Finding& f, Language language) {
  Text line =
      u"  " + PlaceText(report, f.place, language) + u": " + Text(FindingText(f.kind, language));
  if (f.kind == FindingKind::kNoIndexColumn) {
    line += u": " + f.text;
  } else if (f.kind == FindingKind::kRowsEndedEarly) {
    line += u": " + Num(f.count);
  } else if (!f.text.empty()) {
    line += u" (\"" + f.text + u"\")";
  }
  return line;
}

Text CarriedLine(const RunReport& report, const CarriedOver& c, Language language) {
  Text line = u"  " + Text(ColumnName(c.column)) + u": " +
              Counted(c.rows, u"row", u"rows", u"行", language) + u" (";
  for (std::size_t k = 0; k < c.first.size(); ++k) {
    if (k != 0) line += u", ";
    line += PlaceText(report, c.first[k], language);
  }
  if (static_cast<std::int64_t>(c.first.size()) < c.rows) line += u", …";
  return line + u")";
}

Text OutcomeLine(Outcome outcome, std::int32_t code, Language language) {
  const OutcomeWords& words = WordsOf(outcome);
  Text line = Text(kLabels.outcome.In(language)) + Text(words.text.In(language)) + u" (";
  if (outcome == Outcome::kWorkbookUnreadable) {
    line += Text(kLabels.error_code.In(language)) + Num(code) + u": " +
            Text(ReasonOf(code, language)) + u"; ";
  }
  return line + Text(kLabels.exit_code.In(language)) + Num(words.exit_code) + u")";
}

using Lines = std::vector<Text>;

// The workbook and the song IDs: how both reports begin.
Lines HeadLines(const RunReport& report, Language language) {
  return {Text(kLabels.workbook.In(language)) + report.workbook,
          Text(kLabels.format.In(language)) + FormatKey(report.format),
          Text(kLabels.ids.In(language)) + Num(report.id_from) + Text(kLabels.to.In(language)) +
              Num(report.id_to)};
}

// What both reports say after the outcome: the counts, every list file (its path shown
// without `folder`), every finding and the values carried over.
void AddBodyLines(Lines& lines, const RunReport& report, Language language, TextView folder) {
  const ReportCounts counts = CountsOf(report);
  const auto count = [&](const Bilingual& label, std::int64_t n) {
    lines.push_back(Text(label.In(language)) + Num(n));
  };
  count(kLabels.rows_read, report.rows_read);
  count(kLabels.accepted, report.rows_accepted);
  count(kLabels.outside, report.rows_outside_range);
  count(kLabels.skipped, counts.rows_skipped);
  count(kLabels.problems, counts.value_problems);
  count(report.dry_run ? kLabels.would_write : kLabels.written, counts.files_written);
  for (const ListFileRecord& f : report.files)
    lines.push_back(FileLine(f, language, folder));
  count(kLabels.not_written, counts.files_not_written);
  count(kLabels.replaced, counts.files_replaced);
  if (!report.findings.empty()) lines.push_back(Text(kLabels.findings.In(language)));
  for (const Finding& f : report.findings)
    lines.push_back(FindingLine(report, f, language));
  if (!report.carried_over.empty()) lines.push_back(Text(kLabels.carried.In(language)));
  for (const CarriedOver& c : report.carried_over)
    lines.push_back(CarriedLine(report, c, language));
}

Text Joined(const Lines& lines, TextView line_end) {
  Text out;
  for (const Text& line : lines)
    out += line + Text(line_end);
  return out;
}

// A line of the window's text box: a line break within it (in a worksheet's name, say) is
// marked as the report marks one in a cell's text, so that every line stays one line; other
// control characters, which the box would cut or hide, become U+FFFD.
Text BoxLine(Text line) {
  for (char16_t& unit : line) {
    if (unit == u'\r' || unit == u'\n') {
      unit = u'\u21B5';
    } else if (unit < 0x20 && unit != u'\t') {
      unit = u'\uFFFD';
    }
  }
  return line;
}

Text TwoDigits(int n) {
  return Text(1, static_cast<char16_t>(u'0' + n / 10 % 10)) + static_cast<char16_t>(u'0' + n % 10);
}

Text JsonString(TextView text) {
  Text out = u"\"";
  for (const char16_t c : text) {
    if (c == u'"' || c == u'\\') {
      out += u'\\';
      out += c;
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      for (const char* p = buf; *p != 0; ++p)
        out += static_cast<char16_t>(*p);
    } else {
      out += c;
    }
  }
  return out + u"\"";
}

Text JsonBool(bool b) {
  return b ? u"true" : u"false";
}

Text JsonPlace(const RunReport& report, const Place& place) {
  return u"\"sheet\":" + JsonString(SheetName(report, place)) + u",\"row\":" + Num(place.row) +
         u",\"column\":" + Num(place.column) + u",\"cell\":" +
         JsonString(place.column != 0 ? CellRef(place) : Text());
}

template <typename T, typename F>
Text JsonArray(const std::vector<T>& items, F item) {
  Text out = u"[";
  for (std::size_t k = 0; k < items.size(); ++k)
    out += (k != 0 ? u"," : u"") + item(items[k]);
  return out + u"]";
}

}  // namespace

int ExitCodeOf(Outcome outcome) {
  return WordsOf(outcome).exit_code;
}

Outcome OutcomeOf(const RunResult& result, const RunReport& report, bool strict) {
  switch (result.outcome) {
    case RunOutcome::kWorkbookMissing:
      return Outcome::kWorkbookMissing;
    case RunOutcome::kWorkbookUnreadable:
      return Outcome::kWorkbookUnreadable;
    case RunOutcome::kNoRows:
      return Outcome::kEmpty;
    case RunOutcome::kUnrecognisedFormat:
      return Outcome::kUnrecognisedFormat;
    case RunOutcome::kFinished:
      break;
  }
  if (result.failed_writes > 0) return Outcome::kWritesFailed;
  if (strict) {
    for (const Finding& f : report.findings) {
      if (StopsStrictRun(f.kind)) return Outcome::kStrictFindings;
    }
  }
  return Outcome::kFinished;
}

ReportCounts CountsOf(const RunReport& report) {
  ReportCounts counts;
  for (const ListFileRecord& f : report.files) {
    if (f.result != 0) {
      ++counts.files_not_written;
    } else if (f.replaced_later) {
      ++counts.files_replaced;
    } else {
      ++counts.files_written;
      counts.songs_written += f.entries;
    }
  }
  for (const Finding& f : report.findings) {
    if (LeavesRowOut(f.kind)) {
      ++counts.rows_skipped;
    } else if (ConcernsValue(f.kind)) {
      ++counts.value_problems;
    } else {
      ++counts.other_findings;
    }
  }
  return counts;
}

Text PlaceText(const RunReport& report, const Place& place, Language language) {
  if (place.row == 0) return Text(Bilingual{u"工作簿", u"workbook"}.In(language));
  const Text sheet = SheetPrefix(SheetName(report, place));
  if (place.column != 0) return sheet + (sheet.empty() ? u"" : u"!") + CellRef(place);
  if (language == Language::kChinese)
    return sheet + (sheet.empty() ? u"第" : u" 第") + Num(place.row) + u"行";
  return sheet + (sheet.empty() ? u"row " : u" row ") + Num(place.row);
}

Text ReportText(const RunReport& report, Outcome outcome, std::int32_t code, Language language) {
  Lines lines = HeadLines(report, language);
  lines.push_back(OutcomeLine(outcome, code, language));
  if (report.dry_run) lines.push_back(Text(kLabels.dry_run.In(language)));
  AddBodyLines(lines, report, language, u"");
  return Joined(lines, u"\n");
}

std::int64_t NoticeCount(const RunReport& report) {
  std::int64_t failed = 0;
  for (const ListFileRecord& f : report.files)
    failed += f.result != 0 ? 1 : 0;
  return static_cast<std::int64_t>(report.findings.size()) + failed;
}

// Every outcome is named, so that a new one (a workbook in a format the run does not know, say)
// has to be placed here: a workbook that was read and found wanting replaces the last report.
bool ReplacesLastReport(const RunResult& result) {
  switch (result.outcome) {
    case RunOutcome::kFinished:
    case RunOutcome::kNoRows:  // a workbook without rows is worth saying so
    case RunOutcome::kUnrecognisedFormat:
      return true;
    case RunOutcome::kWorkbookMissing:  // the message box said it all; nothing was read
    case RunOutcome::kWorkbookUnreadable:
      return false;
  }
  return false;
}

Text DateTimeText(const DateTime& t) {
  return Num(t.year) + u"-" + TwoDigits(t.month) + u"-" + TwoDigits(t.day) + u" " +
         TwoDigits(t.hour) + u":" + TwoDigits(t.minute) + u":" + TwoDigits(t.second);
}

Text WindowReportText(const RunReport& report, const RunResult& result, TextView finished_at,
                      TextView output_folder) {
  constexpr Language kZh = Language::kChinese;
  Lines lines = HeadLines(report, kZh);
  lines.push_back(Text(kLabels.finished_at) + Text(finished_at));
  lines.push_back(Text(kLabels.folder) + Text(output_folder));
  const Outcome outcome = OutcomeOf(result, report, false);
  lines.push_back(Text(kLabels.outcome.zh) + Text(WordsOf(outcome).text.zh));
  // A run that ended before its rows says why and no more; its outcome line names it.
  if (result.outcome == RunOutcome::kNoRows) {
    lines.push_back(Text(kLabels.no_rows));
  } else if (result.outcome == RunOutcome::kUnrecognisedFormat) {
    // What the workbook is and what to do, as the message box said it below its first line.
    const Text message = MessageText({RunMessageKind::kUnrecognisedFormat,
                                      report.workbook,
                                      0,
                                      {},
                                      report.format.value_or(WorkbookFormat::kNotWorkbook)});
    for (std::size_t at = message.find(u'\n'); at != Text::npos;) {
      const std::size_t next = message.find(u'\n', at + 1);
      lines.push_back(message.substr(at + 1, next == Text::npos ? Text::npos : next - at - 1));
      at = next;
    }
  } else if (result.outcome == RunOutcome::kFinished) {
    AddBodyLines(lines, report, kZh, output_folder);
  }
  for (Text& line : lines)
    line = BoxLine(std::move(line));
  return Joined(lines, u"\r\n");
}

Text ReportJson(const RunReport& report, Outcome outcome, std::int32_t code) {
  const ReportCounts counts = CountsOf(report);
  const OutcomeWords& words = WordsOf(outcome);
  Text out = u"{\"outcome\":" + JsonString(words.key) + u",\"exit_code\":" + Num(words.exit_code);
  if (outcome == Outcome::kWorkbookUnreadable) {
    out += u",\"code\":" + Num(code) + u",\"reason\":" +
           JsonString(ReasonOf(code, Language::kEnglish));
  }
  out += u",\"workbook\":" + JsonString(report.workbook) + u",\"format\":" +
         (report.format ? JsonString(FormatKey(report.format)) : Text(u"null")) + u",\"id_from\":" +
         Num(report.id_from) + u",\"id_to\":" + Num(report.id_to) + u",\"dry_run\":" +
         JsonBool(report.dry_run);
  out += u",\"rows_read\":" + Num(report.rows_read) + u",\"rows_accepted\":" +
         Num(report.rows_accepted) + u",\"rows_outside_range\":" + Num(report.rows_outside_range) +
         u",\"rows_skipped\":" + Num(counts.rows_skipped) + u",\"value_problems\":" +
         Num(counts.value_problems) + u",\"files_written\":" + Num(counts.files_written) +
         u",\"songs_written\":" + Num(counts.songs_written) + u",\"files_not_written\":" +
         Num(counts.files_not_written) + u",\"files_replaced\":" + Num(counts.files_replaced);
  out += u",\"files\":" + JsonArray(report.files, [](const ListFileRecord& f) {
           Text item = u"{\"path\":" + JsonString(f.path) + u",\"first_index\":" +
                       Num(f.first_index) + u",\"entries\":" + Num(f.entries) + u",\"result\":" +
                       Num(f.result);
           if (f.result != 0)
             item += u",\"reason\":" + JsonString(ReasonOf(f.result, Language::kEnglish));
           return item + u",\"replaced_later\":" + JsonBool(f.replaced_later) + u"}";
         });
  out += u",\"findings\":" + JsonArray(report.findings, [&report](const Finding& f) {
           Text item = u"{\"kind\":" + JsonString(FindingKey(f.kind)) + u"," +
                       JsonPlace(report, f.place) + u",\"text\":" + JsonString(f.text);
           if (f.kind == FindingKind::kRowsEndedEarly) item += u",\"count\":" + Num(f.count);
           return item + u"}";
         });
  out +=
      u",\"carried_over\":" + JsonArray(report.carried_over, [&report](const CarriedOver& c) {
        return u"{\"column\":" + JsonString(ColumnName(c.column)) + u",\"rows\":" + Num(c.rows) +
               u",\"first\":" +
               JsonArray(c.first,
                         [&report](const Place& p) { return u"{" + JsonPlace(report, p) + u"}"; }) +
               u"}";
      });
  return out + u"}\n";
}

Text SummaryLine(const RunReport& report, Language language) {
  const ReportCounts counts = CountsOf(report);
  if (counts.rows_skipped + counts.value_problems + counts.other_findings == 0) return Text();
  const bool zh = language == Language::kChinese;
  Text line;
  if (zh) {
    line = Num(counts.songs_written) + (report.dry_run ? u" 首歌曲将写入 " : u" 首歌曲已写入 ") +
           Num(counts.files_written) + u" 个列表文件; ";
  } else {
    line = Counted(counts.songs_written, u"song", u"songs", u"", language) +
           (report.dry_run ? u" would be written to " : u" written to ") +
           Counted(counts.files_written, u"list file", u"list files", u"", language) + u"; ";
  }
  std::vector<Text> parts;
  if (counts.rows_skipped != 0) {
    parts.push_back(zh ? Num(counts.rows_skipped) + u" 行被跳过"
                       : Counted(counts.rows_skipped, u"row", u"rows", u"", language) +
                             u" skipped");
  }
  if (counts.value_problems != 0) {
    parts.push_back(zh ? Num(counts.value_problems) + u" 个值有问题"
                       : Counted(counts.value_problems, u"value", u"values", u"", language) +
                             u" with problems");
  }
  if (counts.other_findings != 0) {
    parts.push_back(
        zh ? Num(counts.other_findings) + u" 条其他提示"
           : Counted(counts.other_findings, u"other finding", u"other findings", u"", language));
  }
  for (std::size_t k = 0; k < parts.size(); ++k)
    line += (k != 0 ? u", " : u"") + parts[k];
  return line + (zh ? u": 用 --report 查看\n" : u": see --report\n");
}

}  // namespace drumlo
