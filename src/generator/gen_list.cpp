#include "generator/gen_list.h"

#include <array>
#include <optional>
#include <unordered_set>
#include <vector>

#include "generator/numeric_value.h"
#include "generator/row_source.h"
#include "generator/upper_case.h"
#include "xmlscan/element_access.h"
#include "xmlscan/scan_primitives.h"

namespace drumlo {
namespace {

constexpr char16_t kByteOrderMark = u'\uFEFF';
constexpr std::size_t kColumnSlots = 21;
constexpr std::size_t kCellTextLength = 40;
constexpr std::size_t kCarriedOverShown = 3;
// The columns that have a rule, in the order the report lists what was carried over.
constexpr Column kRuleColumns[] = {Column::kIndex, Column::kXml,  Column::kPak,    Column::kImage,
                                   Column::kLv,    Column::kName, Column::kArtist, Column::kGenre};

unsigned Bit(Column column) {
  return 1u << static_cast<unsigned>(column);
}

// Where the placement rule puts a valued cell.
struct Slot {
  enum Kind { kPlaced, kOutside, kIndexDoesNotFit } kind;
  std::size_t slot = 0;
};

// The SpreadsheetML placement rule: a valued cell takes the column after the previous cell's,
// or the one its ss:Index names, which also moves the cells after it. `i` is the cell's ordinal
// in the row, valued or not.
Slot PlaceCell(TextView index, bool has_index, std::int32_t i, std::int32_t& offset) {
  if (has_index) {
    const std::optional<std::int32_t> moved =
        RoundToInt32(NumericValue(index) - static_cast<double>(i) - 1.0);
    if (!moved) return {Slot::kIndexDoesNotFit};
    offset = *moved;
  }
  const std::int64_t slot = static_cast<std::int64_t>(offset) + i;
  if (slot < 0 || slot >= static_cast<std::int64_t>(kColumnSlots)) return {Slot::kOutside};
  return {Slot::kPlaced, static_cast<std::size_t>(slot)};
}

// A number from an attribute, where it is a usable one.
std::optional<std::int64_t> Count(TextView attribute) {
  if (attribute == kNotFound) return std::nullopt;
  return RoundToInt32(NumericValue(attribute));
}

// A cell's text as the spreadsheet shows it: entities decoded, line breaks marked, cut short.
Text CellText(TextView value) {
  Text text = DecodeEntities(value, u" <>'\"&");
  for (char16_t& unit : text) {
    if (unit == u'\n' || unit == u'\r') unit = u'\u21B5';
  }
  if (text.size() > kCellTextLength) {
    std::size_t cut = kCellTextLength;
    if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;  // keep a pair whole
    text.resize(cut);
    text += u'\u2026';
  }
  return text;
}

class Run {
 public:
  Run(std::int32_t id_from, std::int32_t id_to, RunContext& context)
      : id_from_(id_from),
        id_to_(id_to),
        context_(context),
        report_(context.report != nullptr ? *context.report : own_report_) {}

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

  // What a data row's cells did, for the row's end.
  struct RowState {
    Place place;
    unsigned columns_set = 0;
    Place index_cell = {};
    Place pak_cell = {};
    Text pak_text = {};  // the PAK cell's value, as the workbook holds it
  };

  void StartReport(TextView fn) {
    report_ = RunReport{};
    report_.workbook = fn;
    report_.id_from = id_from_;
    report_.id_to = id_to_;
    report_.dry_run = context_.dry_run;
  }

  RunResult ExecuteTimed(TextView fn) {
    StartReport(fn);
    RunHost& host = context_.host;
    host.SetHourglass(true);
    if (!context_.files.Exists(fn)) {
      host.ShowMessage({RunMessageKind::kWorkbookMissing, fn});
      host.SetHourglass(false);
      return {RunOutcome::kWorkbookMissing};
    }
    host.ShowStatus({RunStatusKind::kReading, fn});
    RowSource rows(context_.files, fn, context_.reading_thread, context_.timings);
    source_ = &rows;
    RowBatch batch;
    while (rows.Next(batch))
      TakeRows(batch);
    report_.format = rows.Format();
    // Nothing is written before the whole workbook has been read.
    if (const std::int32_t code = rows.ReadResult(); code != kErrorSuccess) {
      return Unreadable(fn, code);
    }
    const WorkbookFormat format = report_.format.value_or(WorkbookFormat::kXmlUtf8);
    if (!IsXmlText(format) && format != WorkbookFormat::kXlsx) {
      host.ShowMessage({RunMessageKind::kUnrecognisedFormat, fn, 0, {}, format});
      host.SetHourglass(false);
      return {RunOutcome::kUnrecognisedFormat};
    }
    if (!header_read_) {
      host.ShowStatus({RunStatusKind::kEmpty});
      host.SetHourglass(false);
      host.Beep();
      return {RunOutcome::kNoRows};
    }
    NoteEnd(rows.End());
    if (group_open_) CloseGroup();
    WriteHeldGroups();
    SumUpCarriedOver();
    report_.files = log_.TakeFiles();
    host.ShowStatus({RunStatusKind::kFinished});
    host.SetHourglass(false);
    host.Beep();
    const std::vector<FailedWrite>& failed = log_.Failed();
    if (!failed.empty()) host.ShowMessage({RunMessageKind::kWritesFailed, fn, 0, failed});
    return {RunOutcome::kFinished, static_cast<std::int32_t>(failed.size())};
  }

  // A workbook that could not be read whole: a warning, and nothing written or reported.
  RunResult Unreadable(TextView fn, std::int32_t code) {
    StartReport(fn);
    context_.host.ShowMessage({RunMessageKind::kWorkbookUnreadable, fn, code});
    context_.host.SetHourglass(false);
    return {RunOutcome::kWorkbookUnreadable, 0, code};
  }

  void TakeRows(const RowBatch& batch) {
    for (const Text& name : batch.NewSheets())
      report_.sheets.push_back(name);
    for (const BatchRow& row : batch.Rows()) {
      const Place place = PlaceOfRow(batch, row);
      if (header_read_) {
        ReadDataRow(batch, row, place);
      } else {
        ReadHeader(batch, row, place);
        header_read_ = true;
      }
    }
  }

  // Rows are numbered within their worksheet; ss:Index on a row skips to its number.
  Place PlaceOfRow(const RowBatch& batch, const BatchRow& row) {
    if (row.sheet != sheet_) {
      sheet_ = row.sheet;
      sheet_row_ = 0;
    }
    const std::optional<std::int64_t> index =
        row.index.Present() ? Count(batch.TextOf(row.index)) : std::nullopt;
    sheet_row_ = index && *index > sheet_row_ ? *index : sheet_row_ + 1;
    return {sheet_, sheet_row_, 0};
  }

  // The column a cell is shown in: the one its ss:Index names, else the one after the previous
  // cell and the columns that cell covers when merged across.
  static std::int64_t ScreenColumn(const CellFacts& cell, std::int64_t& next_column) {
    const std::optional<std::int64_t> index = Count(cell.index);
    const std::int64_t column = index && *index >= 1 ? *index : next_column;
    const std::optional<std::int64_t> merged = Count(cell.merge_across);
    next_column = column + 1 + (merged && *merged > 0 ? *merged : 0);
    return column;
  }

  // Places a valued cell; a cell that cannot be placed is noted and passed over.
  std::optional<std::size_t> SlotOf(const CellFacts& cell, std::int32_t i, std::int32_t& offset,
                                    const Place& where, FindingKind outside) {
    const Slot slot = PlaceCell(cell.index, cell.index != kNotFound, i, offset);
    if (slot.kind == Slot::kPlaced) return slot.slot;
    Note(slot.kind == Slot::kOutside ? outside : FindingKind::kIndexAttributeDoesNotFit, where,
         CellText(cell.value));
    return std::nullopt;
  }

  void ReadHeader(const RowBatch& batch, const BatchRow& header, const Place& place) {
    std::int32_t i = 0;
    std::int32_t offset = 0;
    std::int64_t next_column = 1;
    for (const BatchCell& batch_cell : batch.CellsOf(header)) {
      const CellFacts cell = batch.FactsOf(batch_cell, stripped_);
      const std::int64_t screen = ScreenColumn(cell, next_column);
      const std::int32_t ordinal = i++;
      if (!cell.has_value) continue;
      const auto slot = SlotOf(cell, ordinal, offset, {place.sheet, place.row, screen},
                               FindingKind::kHeaderOutsideColumns);
      if (!slot) continue;
      header_names_[*slot] = UpperCase(cell.value);
      name_columns_[*slot] = screen;
    }
    Text found;
    bool has_index = false;
    for (std::size_t s = 0; s < kColumnSlots; ++s) {
      columns_[s] = ColumnFromName(header_names_[s]);
      if (columns_[s] == Column::kIndex) has_index = true;
      if (header_names_[s].empty()) continue;
      if (!found.empty()) found += u", ";
      found += header_names_[s] + u" (" + ColumnLetters(name_columns_[s]) + u")";
    }
    if (!has_index) Note(FindingKind::kNoIndexColumn, place, found);
  }

  void ReadDataRow(const RowBatch& batch, const BatchRow& row, const Place& place) {
    ++report_.rows_read;
    RowState state{place, 0};
    bool index_passed = false;
    std::int32_t i = 0;
    std::int32_t offset = 0;
    std::int64_t next_column = 1;
    for (const BatchCell& batch_cell : batch.CellsOf(row)) {
      const CellFacts cell = batch.FactsOf(batch_cell, stripped_);
      const Place where{place.sheet, place.row, ScreenColumn(cell, next_column)};
      const std::int32_t ordinal = i++;
      if (!cell.has_value) continue;
      const auto slot = SlotOf(cell, ordinal, offset, where, FindingKind::kOutsideColumns);
      if (!slot) continue;
      const Column column = columns_[*slot];
      const TextView value = cell.value;
      const RuleOutcome outcome =
          ApplyColumnRule(column, value, id_from_, id_to_, run_values_, context_.window);
      if (AbandonsRow(outcome)) {
        NoteAbandoned(outcome, batch, row, where, value);
        return;
      }
      if (outcome == RuleOutcome::kIgnored) continue;
      if (outcome == RuleOutcome::kAppliedNoNumber)
        Note(FindingKind::kNoNumber, where, CellText(value));
      state.columns_set |= Bit(column);
      if (column == Column::kIndex) {
        index_passed = true;
        state.index_cell = where;
      }
      if (column == Column::kPak) {
        state.pak_cell = where;
        state.pak_text.assign(value);
      }
      NoteTextProblems(column, value, where);
    }
    if (!index_passed) {
      Note(FindingKind::kNoIndex, place);
      return;
    }
    AcceptRow(state);
  }

  void NoteAbandoned(RuleOutcome outcome, const RowBatch& batch, const BatchRow& row,
                     const Place& where, TextView value) {
    switch (outcome) {
      case RuleOutcome::kIndexOutOfRange:
        ++report_.rows_outside_range;  // the range is chosen: such rows are only counted
        return;
      case RuleOutcome::kIndexZero:
        if (RepeatsHeader(batch, row)) {
          Note(FindingKind::kHeaderRepeated, {where.sheet, where.row, 0});
          return;
        }
        return Note(FindingKind::kIndexZero, where, CellText(value));
      case RuleOutcome::kIndexDoesNotFit:
        return Note(FindingKind::kIndexDoesNotFit, where, CellText(value));
      case RuleOutcome::kImageDoesNotFit:
        return Note(FindingKind::kImageDoesNotFit, where, CellText(value));
      case RuleOutcome::kLevelDoesNotFit:
        return Note(FindingKind::kLevelDoesNotFit, where, CellText(value));
      case RuleOutcome::kXmlRejected:
        return Note(FindingKind::kXmlRejected, where, CellText(value));
      default:
        return Note(FindingKind::kPakRejected, where, CellText(value));
    }
  }

  // Whether every valued cell of the row holds the header name of its column.
  bool RepeatsHeader(const RowBatch& batch, const BatchRow& row) const {
    std::int32_t i = 0;
    std::int32_t offset = 0;
    std::size_t matched = 0;
    Text stripped;
    for (const BatchCell& batch_cell : batch.CellsOf(row)) {
      const CellFacts cell = batch.FactsOf(batch_cell, stripped);
      const std::int32_t ordinal = i++;
      if (!cell.has_value) continue;
      const Slot slot = PlaceCell(cell.index, cell.index != kNotFound, ordinal, offset);
      if (slot.kind != Slot::kPlaced) return false;
      if (UpperCase(cell.value) != header_names_[slot.slot]) return false;
      ++matched;
    }
    return matched > 1;
  }

  // A double quote ends its attribute in the list file early, and a line break splits the
  // entry; a "&#10;" reference stays text and harms nothing.
  void NoteTextProblems(Column column, TextView value, const Place& where) {
    const WindowSongValues& w = context_.window;
    const Text* stored = nullptr;
    switch (column) {
      case Column::kName:
        stored = &w.SongName;
        break;
      case Column::kArtist:
        stored = &w.SongArtist;
        break;
      case Column::kGenre:
        stored = &w.SongGenre;
        break;
      case Column::kXml:
        stored = &run_values_.XmlName;
        break;
      case Column::kPak:
        stored = &run_values_.PakName;
        break;
      default:
        return;
    }
    if (stored->find(u'"') != Text::npos) Note(FindingKind::kQuoteInValue, where, CellText(value));
    if (value.find_first_of(u"\r\n") != TextView::npos) {
      Note(FindingKind::kLineBreakInValue, where, CellText(value));
    }
  }

  void Note(FindingKind kind, const Place& place, Text text = {}, std::int64_t count = 0) {
    report_.findings.push_back({kind, place, std::move(text), count});
  }

  void NoteEnd(const RowsEnd& end) {
    if (end.early) {
      const std::int64_t row = end.sheet == sheet_ ? sheet_row_ + 1 : 1;
      Note(FindingKind::kRowsEndedEarly, {end.sheet, row, 0}, {}, end.rows_left);
    }
    if (!end.workbook_closed) Note(FindingKind::kWorkbookCutShort, {});
  }

  void AcceptRow(const RowState& row) {
    ++report_.rows_accepted;
    if (!accepted_ids_.insert(run_values_.SongIndex).second) {
      Note(FindingKind::kDuplicateId, row.index_cell, DecimalText(run_values_.SongIndex));
    }
    NoteCarriedOver(row);
    if (!group_open_) {
      OpenGroup(row);
    } else if (run_values_.PakName != group_pak_) {
      context_.host.ShowStatus(
          {context_.dry_run ? RunStatusKind::kCheckingGroup : RunStatusKind::kWritingGroup,
           {},
           group_first_});
      CloseGroup();
      OpenGroup(row);
    }
    ApplyPathRule(run_values_, context_.window);
    AppendEntry(group_text_, run_values_, context_.window);
    ++group_entries_;
  }

  // A column of the header that the row gave no value keeps the value of an earlier row.
  void NoteCarriedOver(const RowState& row) {
    for (std::size_t s = 0; s < kColumnSlots; ++s) {
      const Column column = columns_[s];
      if (column == Column::kNone || (row.columns_set & Bit(column)) != 0) continue;
      CarriedOver& carried = carried_[static_cast<std::size_t>(column)];
      if (carried.rows++ < static_cast<std::int64_t>(kCarriedOverShown)) {
        carried.first.push_back({row.place.sheet, row.place.row, name_columns_[s]});
      }
    }
  }

  void SumUpCarriedOver() {
    for (const Column column : kRuleColumns) {
      CarriedOver& carried = carried_[static_cast<std::size_t>(column)];
      if (carried.rows == 0) continue;
      carried.column = column;
      report_.carried_over.push_back(std::move(carried));
    }
  }

  void OpenGroup(const RowState& row) {
    if (!group_paks_.insert(run_values_.PakName).second) {
      const bool own_cell = row.pak_cell.row != 0;
      Note(FindingKind::kPackageAgain, own_cell ? row.pak_cell : row.place,
           CellText(own_cell ? row.pak_text : run_values_.PakName));
    }
    group_open_ = true;
    group_pak_ = run_values_.PakName;
    group_first_ = run_values_.SongIndex;
    group_text_.reserve(last_group_units_);  // the last group's storage was handed on
    group_text_.assign(1, kByteOrderMark);   // every list file starts with the byte-order mark
    group_entries_ = 0;
  }

  // A group's list file waits until the whole workbook has been read, so that a workbook that
  // fails part way leaves every list file as it was. A dry run keeps no text: the group's
  // storage serves the next group.
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
  RunReport own_report_;
  RunReport& report_;
  RowSource* source_ = nullptr;
  Text stripped_;  // the value of the cell at hand, when it had tags
  bool header_read_ = false;
  std::uint32_t sheet_ = 0;
  std::int64_t sheet_row_ = 0;
  std::array<Text, kColumnSlots> header_names_;
  std::array<std::int64_t, kColumnSlots> name_columns_{};
  std::array<Column, kColumnSlots> columns_{};
  std::array<CarriedOver, std::size(kRuleColumns) + 1> carried_{};
  std::unordered_set<std::int32_t> accepted_ids_;
  std::unordered_set<Text> group_paks_;
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
