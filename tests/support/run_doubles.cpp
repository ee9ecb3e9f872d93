#include "run_doubles.h"

#include <algorithm>

#include "app/words.h"

namespace drumlo {

void RecordingHost::ShowStatus(const RunStatus& status) {
  events.push_back(u"status:" + StatusText(status));
}

void RecordingHost::ShowMessage(const RunMessage& message) {
  const bool warning = IconOf(message.kind) == MessageIcon::kWarning;
  events.push_back((warning ? u"warning:" : u"message:") + MessageText(message));
}

void RecordingHost::SetHourglass(bool busy) {
  events.push_back(busy ? u"hourglass" : u"default");
}

void RecordingHost::Beep() {
  events.push_back(u"beep");
}

std::vector<Text> RecordingHost::Statuses() const {
  std::vector<Text> statuses;
  for (const Text& e : events) {
    if (e.starts_with(u"status:")) statuses.push_back(e.substr(7));
  }
  return statuses;
}

void MemoryFiles::Put(TextView path, const std::string& bytes) {
  files[Text(path)] = Bytes(bytes.begin(), bytes.end());
}

bool MemoryFiles::Exists(TextView path) {
  return files.count(Text(path)) != 0;
}

std::int32_t MemoryFiles::Read(TextView path, Bytes& buffer) {
  if (read_error != 0) return read_error;
  buffer = files.at(Text(path));
  return kErrorSuccess;
}

std::int32_t MemoryFiles::ReadPieces(TextView path, PieceSink& sink) {
  if (read_error != 0) return read_error;
  const Bytes& whole = files.at(Text(path));
  if (!sink.Size(whole.size())) return kErrorNotEnoughMemory;
  const std::size_t end = std::min(whole.size(), fail_after);
  for (std::size_t at = 0; at < end; at += piece_bytes)
    sink.Piece(std::span(whole.data() + at, std::min(piece_bytes, end - at)));
  return end < whole.size() ? 38 : kErrorSuccess;
}

std::int32_t MemoryFiles::Write(TextView path, std::span<const std::uint8_t> bytes) {
  writes.emplace_back(path);
  if (const auto it = write_errors.find(Text(path)); it != write_errors.end()) return it->second;
  files[Text(path)] = Bytes(bytes.begin(), bytes.end());
  return kErrorSuccess;
}

}  // namespace drumlo
