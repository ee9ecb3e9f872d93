#include "generator/gen_list.h"

#include <array>
#include <optional>
#include <vector>

#include "generator/numeric_value.h"
#include "generator/row_source.h"
#include "generator/upper_case.h"

namespace drumlo {
namespace {

constexpr char16_t kByteOrderMark = u'\uFEFF';
constexpr std::int32_t kColumnSlots = 21;

class Run {
 public:
  Run(std::int32_t id_from, std::int32_t id_to, RunContext& context)
      : id_from_(id_from), id_to_(id_to), context_(context), report_(context.report) {}

  RunResult Execute(TextView fn) {
    RunResult result;
    {
      const PhaseClock clock(context_.timings, &RunTimings::total);
      result = ExecuteTimed(fn);
    }
    if (RunTimings* t = context_.timings) {
      t->scan = t->total - t->encode - t->write;
      if (!t->read_alongside_scan) t->scan -= t->read + t->decode;
    }
    return result;
  }

 private:
  struct HeldGroup {
    Text path;
    std::int32_t first;
    std::int32_t entries;
    Text text;
  };

  RunResult ExecuteTimed(TextView fn) {
    RunHost& host = context_.host;
    host.SetHourglass(true);
    if (!context_.files.Exists(fn)) {
      host.ShowMessage({RunMessageKind::kWorkbookMissing, fn});
      host.SetHourglass(false);
      return {RunOutcome::kWorkbookMissing, 0};
    }
    host.ShowStatus({RunStatusKind::kReading, fn});
    RowSource rows(context_.files, fn, context_.reading_thread, context_.timings);
    source_ = &rows;
    RowBatch batch;
    while (rows.Next(batch))
      TakeRows(batch);
    // Nothing is written before the whole workbook has been read.
    if (const std::int32_t code = rows.ReadResult(); code != kErrorSuccess) {
      return Unreadable(fn, code);
    }
    if (!header_read_) {
      host.ShowStatus({RunStatusKind::kEmpty});
      host.SetHourglass(false);
      host.Beep();
      return {RunOutcome::kNoRows, 0};
    }
    if (group_open_) CloseGroup();
    WriteHeldGroups();
    if (report_ != nullptr) report_->files = log_.TakeFiles();
    host.ShowStatus({RunStatusKind::kFinished});
    host.SetHourglass(false);
    host.Beep();
    const std::vector<FailedWrite>& failed = log_.Failed();
    if (!failed.empty()) host.ShowMessage({RunMessageKind::kWritesFailed, fn, 0, failed});
    return {RunOutcome::kFinished, static_cast<std::int32_t>(failed.size())};
  }

  // A workbook that could not be read whole: a warning, and nothing written or reported.
  RunResult Unreadable(TextView fn, std::int32_t code) {
    if (report_ != nullptr) *report_ = RunReport{};
    context_.host.ShowMessage({RunMessageKind::kWorkbookUnreadable, fn, code});
    context_.host.SetHourglass(false);
    return {RunOutcome::kWorkbookUnreadable, 0};
  }

  void TakeRows(const RowBatch& batch) {
    for (const BatchRow& row : batch.Rows()) {
      ++row_number_;
      if (header_read_) {
        ReadDataRow(batch, row);
      } else {
        ReadHeader(batch, row);
        header_read_ = true;
      }
    }
  }

  // The SpreadsheetML placement rule: a valued cell takes the column after the previous cell's,
  // or the one its ss:Index names, which also moves the cells after it. The slot, or nothing
  // when the cell cannot be placed (noted as a finding).
  std::optional<std::int32_t> Place(const RowBatch& batch, const BatchCell& cell, std::int32_t i,
                                    std::int32_t& offset) {
    if (cell.index.Present()) {
      const std::optional<std::int32_t> moved =
          RoundToInt32(NumericValue(batch.TextOf(cell.index)) - static_cast<double>(i) - 1.0);
      if (!moved) {
        Note(FindingKind::kValueDoesNotFit, 0);
        return std::nullopt;
      }
      offset = *moved;
    }
    const std::int64_t slot = static_cast<std::int64_t>(offset) + i;
    if (slot < 0 || slot >= kColumnSlots) {
      const std::int64_t column = slot + 1;
      const bool fits = column >= 0 && column <= 0x7FFFFFFF;
      Note(FindingKind::kOutsideColumns, fits ? static_cast<std::int32_t>(column) : 0);
      return std::nullopt;
    }
    return static_cast<std::int32_t>(slot);
  }

  void ReadHeader(const RowBatch& batch, const BatchRow& header) {
    std::array<Text, kColumnSlots> names;
    std::int32_t i = 0;
    std::int32_t offset = 0;
    for (const BatchCell& cell : batch.CellsOf(header)) {
      if (cell.value.Present()) {
        if (const auto slot = Place(batch, cell, i, offset)) {
          names[static_cast<std::size_t>(*slot)] = UpperCase(batch.TextOf(cell.value));
        }
      }
      ++i;
    }
    for (std::size_t s = 0; s < names.size(); ++s)
      columns_[s] = ColumnFromName(names[s]);
  }

  void ReadDataRow(const RowBatch& batch, const BatchRow& row) {
    if (report_ != nullptr) ++report_->rows_read;
    bool index_passed = false;
    std::int32_t i = 0;
    std::int32_t offset = 0;
    for (const BatchCell& cell : batch.CellsOf(row)) {
      const std::int32_t ordinal = i++;
      if (!cell.value.Present()) continue;
      const std::optional<std::int32_t> slot = Place(batch, cell, ordinal, offset);
      if (!slot) continue;
      const Column column = columns_[static_cast<std::size_t>(*slot)];
      const RuleOutcome outcome = ApplyColumnRule(column, batch.TextOf(cell.value), id_from_,
                                                  id_to_, run_values_, context_.window);
      const std::int32_t column_number = *slot + 1;
      if (AbandonsRow(outcome)) {
        Note(AbandonFinding(outcome), column_number);
        return;
      }
      if (outcome == RuleOutcome::kValueDoesNotFit) {
        Note(FindingKind::kValueDoesNotFit, column_number);
      } else if (outcome == RuleOutcome::kApplied) {
        if (column == Column::kIndex) index_passed = true;
        NoteQuote(column, column_number);
      }
    }
    if (!index_passed) {
      Note(FindingKind::kNoIndex, 0);
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
  void NoteQuote(Column column, std::int32_t column_number) {
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
    if (value->find(u'"') != Text::npos) Note(FindingKind::kQuoteInValue, column_number);
  }

  void Note(FindingKind kind, std::int32_t column) {
    if (report_ != nullptr) report_->findings.push_back({kind, row_number_, column});
  }

  void AcceptRow() {
    if (report_ != nullptr) ++report_->rows_accepted;
    if (!group_open_) {
      OpenGroup();
    } else if (run_values_.PakName != group_pak_) {
      context_.host.ShowStatus({RunStatusKind::kWritingGroup, {}, group_first_});
      CloseGroup();
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
    group_text_.reserve(last_group_units_);  // the last group's storage was handed on
    group_text_.assign(1, kByteOrderMark);   // every list file starts with the byte-order mark
    group_entries_ = 0;
  }

  // A group's list file waits until the whole workbook has been read, so that a workbook that
  // fails part way leaves every list file as it was.
  // A dry run keeps no text: the group's storage serves the next group.
  void CloseGroup() {
    last_group_units_ = group_text_.size();
    Text text;
    if (!context_.dry_run) text = std::move(group_text_);
    held_.push_back({context_.output_dir + DecimalText(group_first_) + u".txt", group_first_,
                     group_entries_, std::move(text)});
    group_text_.clear();
    if (source_->ReadWhole()) WriteHeldGroups();
  }

  void WriteHeldGroups() {
    for (HeldGroup& group : held_) {
      const std::int32_t code = context_.dry_run ? kErrorSuccess : Write(group);
      log_.Record(std::move(group.path), group.first, group.entries, code);
    }
    held_.clear();
  }

  std::int32_t Write(const HeldGroup& group) {
    Bytes scratch;
    std::span<const std::uint8_t> bytes;
    {
      const PhaseClock clock(context_.timings, &RunTimings::encode);
      bytes = TextAsBytes(group.text, scratch);
    }
    const PhaseClock clock(context_.timings, &RunTimings::write);
    return context_.files.Write(group.path, bytes);
  }

  std::int32_t id_from_;
  std::int32_t id_to_;
  RunContext& context_;
  RunReport* report_;
  RowSource* source_ = nullptr;
  bool header_read_ = false;
  std::int32_t row_number_ = 0;  // 1-based among the Row elements; the header is row 1
  std::array<Column, kColumnSlots> columns_{};
  RunSongValues run_values_;
  bool group_open_ = false;
  Text group_pak_;
  std::int32_t group_first_ = 0;
  Text group_text_;
  std::size_t last_group_units_ = 0;
  std::int32_t group_entries_ = 0;
  std::vector<HeldGroup> held_;
  WriteLog log_;
};

}  // namespace

RunResult GenList(TextView fn, std::int32_t IdFrom, std::int32_t IdTo, RunContext& context) {
  const Text path(fn);  // taken by value: the caller's text may change while the run shows status
  Run run(IdFrom, IdTo, context);
  return run.Execute(path);
}

}  // namespace drumlo
