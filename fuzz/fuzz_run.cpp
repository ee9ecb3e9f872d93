// The whole generation run on arbitrary workbook bytes, in an in-memory file system.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>

#include "fileio/file_access.h"
#include "fuzz_input.h"
#include "generator/cell_feed.h"
#include "generator/gen_list.h"

namespace {

using namespace drumlo;

class QuietHost : public RunHost {
 public:
  void UpdateStatus(TextView) override {}
  void SetHourglass(bool) override {}
  void ShowMessage(TextView, MessageIcon) override {}
  void Beep() override {}
};

class MemoryFiles : public FileAccess {
 public:
  explicit MemoryFiles(std::span<const std::uint8_t> workbook)
      : workbook_(workbook.begin(), workbook.end()) {}
  bool Exists(TextView path) override { return path == kWorkbook; }
  std::int32_t Read(TextView path, Bytes& buffer) override {
    if (path != kWorkbook) return kErrorFileNotFound;
    buffer = workbook_;
    return kErrorSuccess;
  }
  std::int32_t Write(TextView path, std::span<const std::uint8_t> bytes) override {
    written[Text(path)] = Bytes(bytes.begin(), bytes.end());
    return kErrorSuccess;
  }
  static constexpr TextView kWorkbook = u"book.xml";
  std::map<Text, Bytes> written;

 private:
  Bytes workbook_;
};

void CheckListFile(const Text& path, const Bytes& bytes) {
  using drumlo::fuzz::Check;
  Check(path.rfind(u"out/", 0) == 0 && path.size() > 8 && path.ends_with(u".txt"));
  Check(bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes[0] == 0xFF && bytes[1] == 0xFE);
}

// Rows read by the walk must be placed exactly as rows read by the element accessors.
void CheckFeedsAgree(std::span<const std::uint8_t> bytes) {
  using drumlo::fuzz::Check;
  const Text document = Utf8ToText(bytes);
  CellFeed walked(document, CellFeed::Mode::kSameThread, true);
  CellFeed scanned(document, CellFeed::Mode::kSameThread, false);
  FedRow a;
  FedRow b;
  for (;;) {
    const bool more = walked.NextRow(a);
    Check(more == scanned.NextRow(b));
    if (!more) return;
    Check(a.number == b.number && a.cells.size() == b.cells.size());
    for (std::size_t k = 0; k < a.cells.size(); ++k) {
      const FedCell& x = a.cells[k];
      const FedCell& y = b.cells[k];
      Check(x.step == y.step && x.slot == y.slot && x.value == y.value && x.finding == y.finding &&
            x.finding_column == y.finding_column);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using drumlo::fuzz::Check;
  MemoryFiles files(std::span(data, size));
  QuietHost host;
  WindowSongValues window;
  RunReport report;
  RunContext context{host, files, window, u"out/", false, &report};
  const RunResult result =
      GenList(MemoryFiles::kWorkbook, 1, std::numeric_limits<std::int32_t>::max(), context);
  Check(result.outcome == RunOutcome::kFinished || result.outcome == RunOutcome::kNoRows);
  Check(result.failed_writes == 0);
  Check(report.rows_accepted <= report.rows_read);
  if (result.outcome == RunOutcome::kNoRows) Check(files.written.empty());
  if (report.rows_accepted == 0) Check(files.written.empty());
  for (const auto& [path, bytes] : files.written)
    CheckListFile(path, bytes);
  CheckFeedsAgree(std::span(data, size));
  return 0;
}
