// Every text the user reads, in one place: the statuses and messages of a run, the reasons for
// error codes, what the report says of each finding, the window's captions and menus, and the
// About message. The run reports typed events; these tables turn them into the exact texts that
// the window and the command-line tool show.
#pragma once

#include <cstdint>

#include "common/text.h"
#include "generator/run_host.h"
#include "generator/run_report.h"

namespace drumlo {

enum class Language { kChinese, kEnglish };

// A text in both languages of the command-line tool.
struct Bilingual {
  TextView zh;
  TextView en;
  [[nodiscard]] TextView In(Language language) const {
    return language == Language::kChinese ? zh : en;
  }
};

inline constexpr TextView kAppTitle = u"Drumlo歌曲列表生成器";

// The window's initial field texts and captions.
inline constexpr TextView kDefaultWorkbook = u"歌曲规范总表.xml";
inline constexpr TextView kDefaultIdFrom = u"5000";
inline constexpr TextView kDefaultIdTo = u"9999";
inline constexpr TextView kGenerateCaption = u"&S.开始生成TXT列表";
inline constexpr TextView kStatusCaption = u"当前状态";
inline constexpr TextView kFileMenu = u"&F.文件";
inline constexpr TextView kExitItem = u"&X.退出";
inline constexpr TextView kHelpMenu = u"&H.帮助";
inline constexpr TextView kAboutItem = u"&A.关于...";
inline constexpr TextView kOpenItem = u"&O.选择歌曲列表文件...";
inline constexpr TextView kReportItem = u"&R.查看生成报告...";

// The report item, with the number of lines of the report that ask for attention:
// "&R.查看生成报告...", "&R.查看生成报告 (3 条提示)...".
[[nodiscard]] Text ReportItemText(std::int64_t notices);

// The report window.
inline constexpr TextView kReportCaption = u"生成报告";
inline constexpr TextView kSaveReportCaption = u"&S.另存为...";
inline constexpr TextView kReportFileName = u"生成报告.txt";

// An entry of a file dialog's type list.
struct FileFilter {
  TextView name;
  TextView pattern;
};
// What the open dialog offers, the first entry chosen at first.
inline constexpr FileFilter kWorkbookFilters[] = {
    {u"XML 电子表格 2003 (*.xml)", u"*.xml"},
    {u"Excel 工作簿 (*.xlsx)", u"*.xlsx"},
};
inline constexpr FileFilter kReportFilters[] = {
    {u"文本文件 (*.txt)", u"*.txt"},
};

// The report could not be saved: the path and the reason.
[[nodiscard]] Text ReportNotSavedText(TextView path, std::int32_t code);

enum class MessageIcon { kNone, kInformation, kWarning };

// Who shows a message: the window's boxes keep their texts; the command-line tool's missing
// workbook message names the path, since nothing else on its screen does.
enum class Shell { kWindow, kTool };

[[nodiscard]] Text StatusText(const RunStatus& status);
[[nodiscard]] Text MessageText(const RunMessage& message, Shell shell = Shell::kWindow);
[[nodiscard]] MessageIcon IconOf(RunMessageKind kind);

// What an error code of the file access means, in words ("拒绝访问", "access denied").
[[nodiscard]] TextView ReasonOf(std::int32_t code, Language language);

// What the report says of a finding, and its name in the report's JSON form.
[[nodiscard]] TextView FindingText(FindingKind kind, Language language);
[[nodiscard]] TextView FindingKey(FindingKind kind);

// The window refuses an ID field whose value does not fit 32 bits.
[[nodiscard]] Text IdOutOfRangeText(TextView field_text);

// What the About message shows of the executable's version resource.
struct VersionFacts {
  Text product_name;
  Text legal_copyright;
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t revision = 0;  // the fourth number; the third is not shown
};

// Six lines joined by single line feeds, nothing after the last one.
[[nodiscard]] Text AboutText(const VersionFacts& facts);

}  // namespace drumlo
