#include "generator/gen_list.h"

#include <array>
#include <unordered_map>

#include "generator/cell_feed.h"
#include "generator/list_writer.h"
#include "generator/phase_clock.h"
#include "generator/upper_case.h"
#include "generator/workbook_reader.h"

namespace drumlo {
namespace {

constexpr char16_t kByteOrderMark = u'\uFEFF';

class Run {
 public:
  Run(std::int32_t id_from, std::int32_t id_to, RunContext& context)
      : id_from_(id_from), id_to_(id_to), context_(context), report_(context.report) {}

  RunResult Execute(TextView fn) {
    RunResult result;
    {
      const PhaseClock clock(PhaseTotal(context_.timings, &RunTimings::total));
      result = ExecuteTimed(fn);
    }
    if (RunTimings* t = context_.timings) {
      t->scan = t->total;
      if (!t->write_alongside_scan) t->scan -= t->encode + t->write;
      if (!t->read_alongside_scan) t->scan -= t->read + t->decode;
    }
    return result;
  }

 private:
  RunResult ExecuteTimed(TextView fn) {
    RunHost& host = context_.host;
    host.SetHourglass(true);
    if (!context_.files.Exists(fn)) {
      host.ShowMessage(u"没有发现歌曲列表文件", MessageIcon::kNone);
      host.SetHourglass(false);
      return {RunOutcome::kWorkbookMissing, 0};
    }
    host.UpdateStatus(Concat({u"正在读取文件", fn, u"..."}));
    // Rows are taken while the rest of the workbook is still being read and decoded; nothing is
    // written before the whole file has been read.
    WorkbookReader workbook(context_.files, fn, !context_.single_thread, context_.timings);
    if (!workbook.WaitUntilBegun()) return Unreadable(fn, workbook.Result());
    ListWriter writer(context_.files, workbook, !context_.single_thread && !context_.dry_run,
                      context_.timings);
    writer_ = &writer;
    CellFeed rows(workbook.Source(),
                  context_.single_thread ? CellFeed::Mode::kSameThread : CellFeed::Mode::kAuto);
    FedRow row;
    if (!rows.NextRow(row)) {
      if (const std::int32_t code = workbook.Result(); code != kErrorSuccess) {
        return Unreadable(fn, code);
      }
      host.UpdateStatus(u"空文件!");
      host.SetHourglass(false);
      host.Beep();
      return {RunOutcome::kNoRows, 0};
    }
    ReadHeader(row);
    while (rows.NextRow(row))
      ReadDataRow(row);
    if (group_open_) WriteGroup();
    const std::vector<std::int32_t> codes = writer.Finish();
    if (const std::int32_t code = workbook.Result(); code != kErrorSuccess) {
      return Unreadable(fn, code);
    }
    RecordWrites(codes);
    host.UpdateStatus(u"读取完毕!");
    host.SetHourglass(false);
    host.Beep();
    ReportFailedWrites();
    return {RunOutcome::kFinished, static_cast<std::int32_t>(failed_writes_.size())};
  }

  // A workbook that could not be read whole: a warning, and nothing written or reported.
  RunResult Unreadable(TextView fn, std::int32_t code) {
    RunHost& host = context_.host;
    if (report_ != nullptr) *report_ = RunReport{};
    host.ShowMessage(
        Concat({u"无法读取歌曲列表文件: ", fn, u" (错误代码 ", DecimalText(code), u")"}),
        MessageIcon::kWarning);
    host.SetHourglass(false);
    return {RunOutcome::kWorkbookUnreadable, 0};
  }

  static Text Concat(std::initializer_list<TextView> parts) {
    Text out;
    for (TextView p : parts)
      out.append(p);
    return out;
  }

  void ReadHeader(const FedRow& header) {
    std::array<Text, kColumnSlots> names;
    for (const FedCell& cell : header.cells) {
      if (cell.step == CellStep::kPassedOver)
        Note(cell.finding, header.number, cell.finding_column);
      if (cell.step == CellStep::kPlaced) names[cell.slot] = UpperCase(cell.value);
    }
    for (std::int32_t s = 0; s < kColumnSlots; ++s)
      columns_[s] = ColumnFromName(names[s]);
  }

  void ReadDataRow(const FedRow& row) {
    if (report_ != nullptr) ++report_->rows_read;
    bool index_passed = false;
    for (const FedCell& cell : row.cells) {
      if (cell.step == CellStep::kPassedOver) Note(cell.finding, row.number, cell.finding_column);
      if (cell.step != CellStep::kPlaced) continue;
      const Column column = columns_[cell.slot];
      const RuleOutcome outcome =
          ApplyColumnRule(column, cell.value, id_from_, id_to_, run_values_, context_.window);
      const std::int32_t column_number = cell.slot + 1;
      if (AbandonsRow(outcome)) {
        Note(AbandonFinding(outcome), row.number, column_number);
        return;
      }
      if (outcome == RuleOutcome::kValueDoesNotFit) {
        Note(FindingKind::kValueDoesNotFit, row.number, column_number);
      } else if (outcome == RuleOutcome::kApplied) {
        if (column == Column::kIndex) index_passed = true;
        NoteQuote(column, row.number, column_number);
      }
    }
    if (!index_passed) {
      Note(FindingKind::kNoIndex, row.number, 0);
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
    group_text_.reserve(group_text_size_);  // the last group's storage went to the writer
    group_text_.assign(1, kByteOrderMark);  // every list file starts with the byte-order mark
    group_entries_ = 0;
  }

  void WriteGroup() {
    Text path = context_.output_dir + DecimalText(group_first_) + u".txt";
    if (!context_.dry_run) {
      group_text_size_ = group_text_.size();
      writer_->Add(path, std::move(group_text_));
    }
    groups_.push_back({std::move(path), group_first_, group_entries_});
  }

  // The files in the order they were given, with the codes of their writes.
  void RecordWrites(const std::vector<std::int32_t>& codes) {
    for (std::size_t k = 0; k < groups_.size(); ++k) {
      WrittenGroup& group = groups_[k];
      const std::int32_t code = k < codes.size() ? codes[k] : kErrorSuccess;
      if (code != kErrorSuccess) failed_writes_.push_back({group.path, code});
      RecordFile(std::move(group.path), group.first, group.entries, code);
    }
  }

  void RecordFile(Text path, std::int32_t first, std::int32_t entries, std::int32_t code) {
    if (report_ == nullptr) return;
    // A later write of the same path replaces what an earlier one wrote, or spoils it if it fails.
    if (const auto earlier = unreplaced_.find(path); earlier != unreplaced_.end()) {
      report_->files[earlier->second].replaced_later = true;
      unreplaced_.erase(earlier);
    }
    if (code == kErrorSuccess) unreplaced_.emplace(path, report_->files.size());
    report_->files.push_back({std::move(path), first, entries, code, false});
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
  std::size_t group_text_size_ = 0;
  std::int32_t group_entries_ = 0;
  std::vector<FailedWrite> failed_writes_;
  struct WrittenGroup {
    Text path;
    std::int32_t first;
    std::int32_t entries;
  };
  ListWriter* writer_ = nullptr;
  std::vector<WrittenGroup> groups_;
  std::unordered_map<Text, std::size_t> unreplaced_;  // path -> its last written record
};

}  // namespace

RunResult GenList(TextView fn, std::int32_t IdFrom, std::int32_t IdTo, RunContext& context) {
  const Text path(fn);  // taken by value: the caller's text may change while the run shows status
  Run run(IdFrom, IdTo, context);
  return run.Execute(path);
}

}  // namespace drumlo
