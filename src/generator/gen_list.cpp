#include "generator/gen_list.h"

#include <array>
#include <optional>

#include "generator/numeric_value.h"
#include "generator/upper_case.h"
#include "xmlscan/element_access.h"
#include "xmlscan/scan_primitives.h"

namespace drumlo {
namespace {

constexpr std::int32_t kColumnSlots = 21;
constexpr char16_t kByteOrderMark = u'\uFEFF';

bool IsMissing(TextView result) {
  return result == kNotFound;
}

// A spreadsheet program writes a cell's note as a Comment element with its own Data inside the
// Cell; a note is not the cell's value, so it is cut out before the value is looked for.
TextView WithoutComments(TextView cell, Text& storage) {
  if (cell.find(u"<Comment") == TextView::npos) return cell;
  storage.clear();
  Position cursor = 0;
  Position kept_until = 0;  // 0-based end of the part already copied
  for (;;) {
    const TextView comment = GetElementFrom(cell, u"Comment", cursor, 1);
    if (IsMissing(comment)) break;
    const auto start = static_cast<std::size_t>(comment.data() - cell.data());
    storage.append(cell.substr(static_cast<std::size_t>(kept_until), start - kept_until));
    kept_until = static_cast<Position>(start + comment.size());
  }
  if (kept_until == 0) return cell;
  storage.append(cell.substr(static_cast<std::size_t>(kept_until)));
  return storage;
}

// One valued cell of a row, placed into its 0-based slot.
struct PlacedCell {
  std::int32_t slot;
  TextView value;  // tags stripped
};

enum class CellStep { kPlaced, kValueless, kPassedOver };

// Walks the cells of one row in document order with a forward-moving cursor, keeping the
// cell counter and the column offset of the SpreadsheetML placement rule.
class CellWalker {
 public:
  CellWalker(TextView row, std::int32_t row_number, RunReport* report)
      : row_(row), row_number_(row_number), report_(report) {}

  // Takes the next cell; false at the end of the row.
  bool Next(CellStep& step, PlacedCell& placed) {
    const TextView cell = GetElementFrom(row_, u"Cell", cursor_, 1);
    if (IsMissing(cell)) return false;
    const std::int32_t i = counter_++;
    step = Place(cell, i, placed);
    return true;
  }

 private:
  CellStep Place(TextView cell, std::int32_t i, PlacedCell& placed) {
    const TextView index_attr = GetAttribute(cell, u"Cell", 1, u"ss:Index");
    const TextView body = WithoutComments(cell, body_storage_);
    TextView value = GetContent(body, u"Data", 1);
    if (IsMissing(value)) value = GetContent(body, u"ss:Data", 1);
    if (IsMissing(value)) return CellStep::kValueless;

    if (!IsMissing(index_attr)) {
      const std::optional<std::int32_t> offset =
          RoundToInt32(NumericValue(index_attr) - static_cast<double>(i) - 1.0);
      if (!offset) {
        Note(FindingKind::kValueDoesNotFit, 0);
        return CellStep::kPassedOver;
      }
      offset_ = *offset;
    }
    const std::int64_t slot = static_cast<std::int64_t>(offset_) + i;
    if (slot < 0 || slot >= kColumnSlots) {
      Note(FindingKind::kOutsideColumns, slot + 1);
      return CellStep::kPassedOver;
    }
    placed.slot = static_cast<std::int32_t>(slot);
    if (value.find(u'<') == TextView::npos) {
      placed.value = value;
    } else {
      value_storage_ = StripTags(value);
      placed.value = value_storage_;
    }
    return CellStep::kPlaced;
  }

  void Note(FindingKind kind, std::int64_t column) {
    if (report_ == nullptr) return;
    const bool fits = column >= 0 && column <= 0x7FFFFFFF;
    report_->findings.push_back({kind, row_number_, fits ? static_cast<std::int32_t>(column) : 0});
  }

  TextView row_;
  std::int32_t row_number_;
  RunReport* report_;
  Position cursor_ = 0;
  std::int32_t counter_ = 0;
  std::int32_t offset_ = 0;
  Text body_storage_;
  Text value_storage_;
};

class Run {
 public:
  Run(std::int32_t id_from, std::int32_t id_to, RunContext& context)
      : id_from_(id_from), id_to_(id_to), context_(context), report_(context.report) {}

  RunResult Execute(TextView fn) {
    RunHost& host = context_.host;
    host.SetHourglass(true);
    if (!context_.files.Exists(fn)) {
      host.ShowMessage(u"没有发现歌曲列表文件", MessageIcon::kNone);
      host.SetHourglass(false);
      return {RunOutcome::kWorkbookMissing, 0};
    }
    host.UpdateStatus(Concat({u"正在读取文件", fn, u"..."}));
    Bytes bytes;
    const std::int32_t code = context_.files.Read(fn, bytes);
    if (code != kErrorSuccess) {
      host.ShowMessage(
          Concat({u"无法读取歌曲列表文件: ", fn, u" (错误代码 ", DecimalText(code), u")"}),
          MessageIcon::kWarning);
      host.SetHourglass(false);
      return {RunOutcome::kWorkbookUnreadable, 0};
    }
    const Text document = Utf8ToText(bytes);
    Bytes().swap(bytes);  // the text is all the run needs from here on

    Position row_cursor = 0;
    const TextView header = GetContentFrom(document, u"Row", row_cursor, 1);
    if (IsMissing(header)) {
      host.UpdateStatus(u"空文件!");
      host.SetHourglass(false);
      host.Beep();
      return {RunOutcome::kNoRows, 0};
    }
    ReadHeader(header);
    for (std::int32_t row_number = 2;; ++row_number) {
      const TextView row = GetContentFrom(document, u"Row", row_cursor, 1);
      if (IsMissing(row)) break;
      ReadDataRow(row, row_number);
    }
    if (group_open_) WriteGroup();
    host.UpdateStatus(u"读取完毕!");
    host.SetHourglass(false);
    host.Beep();
    ReportFailedWrites();
    return {RunOutcome::kFinished, static_cast<std::int32_t>(failed_writes_.size())};
  }

 private:
  static Text Concat(std::initializer_list<TextView> parts) {
    Text out;
    for (TextView p : parts)
      out.append(p);
    return out;
  }

  void ReadHeader(TextView header) {
    std::array<Text, kColumnSlots> names;
    CellWalker walker(header, 1, report_);
    CellStep step;
    PlacedCell placed;
    while (walker.Next(step, placed)) {
      if (step == CellStep::kPlaced) names[placed.slot] = UpperCase(placed.value);
    }
    for (std::int32_t s = 0; s < kColumnSlots; ++s)
      columns_[s] = ColumnFromName(names[s]);
  }

  void ReadDataRow(TextView row, std::int32_t row_number) {
    if (report_ != nullptr) ++report_->rows_read;
    CellWalker walker(row, row_number, report_);
    CellStep step;
    PlacedCell placed;
    bool index_passed = false;
    while (walker.Next(step, placed)) {
      if (step != CellStep::kPlaced) continue;
      const Column column = columns_[placed.slot];
      const RuleOutcome outcome =
          ApplyColumnRule(column, placed.value, id_from_, id_to_, run_values_, context_.window);
      const std::int32_t column_number = placed.slot + 1;
      if (AbandonsRow(outcome)) {
        Note(AbandonFinding(outcome), row_number, column_number);
        return;
      }
      if (outcome == RuleOutcome::kValueDoesNotFit) {
        Note(FindingKind::kValueDoesNotFit, row_number, column_number);
      } else if (outcome == RuleOutcome::kApplied) {
        if (column == Column::kIndex) index_passed = true;
        NoteQuote(column, row_number, column_number);
      }
    }
    if (!index_passed) {
      Note(FindingKind::kNoIndex, row_number, 0);
      return;
    }
    AcceptRow();
  }

  static FindingKind AbandonFinding(RuleOutcome outcome) {
    switch (outcome) {
      case RuleOutcome::kXmlRejected:
        return FindingKind::kXmlRejected;
      case RuleOutcome::kPakRejected:
        return FindingKind::kPakRejected;
      default:
        return FindingKind::kIndexOutOfRange;
    }
  }

  // A double quote in a value ends its attribute early in the list file; worth a warning.
  void NoteQuote(Column column, std::int32_t row_number, std::int32_t column_number) {
    if (report_ == nullptr) return;
    const WindowSongValues& w = context_.window;
    const Text* value = nullptr;
    switch (column) {
      case Column::kName:
        value = &w.SongName;
        break;
      case Column::kArtist:
        value = &w.SongArtist;
        break;
      case Column::kGenre:
        value = &w.SongGenre;
        break;
      case Column::kXml:
        value = &run_values_.XmlName;
        break;
      case Column::kPak:
        value = &run_values_.PakName;
        break;
      default:
        return;
    }
    if (value->find(u'"') != Text::npos) {
      Note(FindingKind::kQuoteInValue, row_number, column_number);
    }
  }

  void Note(FindingKind kind, std::int32_t row, std::int32_t column) {
    if (report_ != nullptr) report_->findings.push_back({kind, row, column});
  }

  void AcceptRow() {
    if (report_ != nullptr) ++report_->rows_accepted;
    if (!group_open_) {
      OpenGroup();
    } else if (run_values_.PakName != group_pak_) {
      context_.host.UpdateStatus(Concat({u"正在写入文件", DecimalText(group_first_), u"..."}));
      WriteGroup();
      OpenGroup();
    }
    ApplyPathRule(run_values_, context_.window);
    AppendEntry(group_text_, run_values_, context_.window);
    ++group_entries_;
  }

  void OpenGroup() {
    group_open_ = true;
    group_pak_ = run_values_.PakName;
    group_first_ = run_values_.SongIndex;
    group_text_.assign(1, kByteOrderMark);  // every list file starts with the byte-order mark
    group_entries_ = 0;
  }

  void WriteGroup() {
    Text path = context_.output_dir + DecimalText(group_first_) + u".txt";
    std::int32_t code = kErrorSuccess;
    if (!context_.dry_run) code = context_.files.Write(path, TextToBytes(group_text_));
    if (code != kErrorSuccess) failed_writes_.push_back({path, code});
    RecordFile(std::move(path), code);
  }

  void RecordFile(Text path, std::int32_t code) {
    if (report_ == nullptr) return;
    for (ListFileRecord& earlier : report_->files) {
      if (earlier.path == path && earlier.result == kErrorSuccess) earlier.replaced_later = true;
    }
    report_->files.push_back({std::move(path), group_first_, group_entries_, code, false});
  }

  struct FailedWrite {
    Text path;
    std::int32_t code;
  };

  // A list file that could not be written must not go unnoticed.
  void ReportFailedWrites() {
    if (failed_writes_.empty()) return;
    Text text = u"以下列表文件未能写入:";
    for (const FailedWrite& f : failed_writes_) {
      text.append(Concat({u"\n", f.path, u" (错误代码 ", DecimalText(f.code), u")"}));
    }
    context_.host.ShowMessage(text, MessageIcon::kWarning);
  }

  std::int32_t id_from_;
  std::int32_t id_to_;
  RunContext& context_;
  RunReport* report_;
  std::array<Column, kColumnSlots> columns_{};
  RunSongValues run_values_;
  bool group_open_ = false;
  Text group_pak_;
  std::int32_t group_first_ = 0;
  Text group_text_;
  std::int32_t group_entries_ = 0;
  std::vector<FailedWrite> failed_writes_;
};

}  // namespace

RunResult GenList(TextView fn, std::int32_t IdFrom, std::int32_t IdTo, RunContext& context) {
  const Text path(fn);  // taken by value: the caller's text may change while the run shows status
  Run run(IdFrom, IdTo, context);
  return run.Execute(path);
}

}  // namespace drumlo
