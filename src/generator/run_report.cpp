#include "generator/run_report.h"

namespace drumlo {

Text ColumnLetters(std::int64_t column) {
  Text letters;
  for (; column > 0; column = (column - 1) / 26)
    letters.insert(letters.begin(), static_cast<char16_t>(u'A' + (column - 1) % 26));
  return letters;
}

bool LeavesRowOut(FindingKind kind) {
  return kind <= FindingKind::kNoIndex;
}

bool ConcernsValue(FindingKind kind) {
  return kind >= FindingKind::kOutsideColumns && kind <= FindingKind::kLineBreakInValue;
}

void WriteLog::Record(Text path, std::int32_t first_index, std::int32_t entries,
                      std::int32_t code) {
  // A later write of the same path replaces what an earlier one wrote, or spoils it if it fails.
  if (const auto earlier = last_written_.find(path); earlier != last_written_.end()) {
    files_[earlier->second].replaced_later = true;
    last_written_.erase(earlier);
  }
  if (code == 0) {
    last_written_.emplace(path, files_.size());
  } else {
    failed_.push_back({path, code});
  }
  files_.push_back({std::move(path), first_index, entries, code, false});
}

}  // namespace drumlo
