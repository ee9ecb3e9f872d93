#include "fileio/temporary_file.h"

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace drumlo {
namespace {

namespace fs = std::filesystem;
using Units = fs::path::string_type;

constexpr std::size_t kMaxNameUnits = 255;
constexpr std::size_t kMaxPidDigits = 20;
// "~" before the name, "." and the id after it, then ".tmp".
constexpr std::size_t kMaxStemUnits = kMaxNameUnits - 2 - kMaxPidDigits - 4;
constexpr auto kLookAgainAfter = std::chrono::seconds(10);

Units Ascii(const std::string& text) {
  return Units(text.begin(), text.end());
}

Units StemOf(const fs::path& file) {
  Units name = file.filename().native();
  if (name.size() > kMaxStemUnits) name.resize(kMaxStemUnits);
  return name;
}

struct TemporaryName {
  Units stem;
  std::uint64_t pid = 0;
};

// Reads "~" stem "." digits ".tmp"; anything else is no temporary file of ours.
std::optional<TemporaryName> ParseTemporaryName(const Units& name) {
  const Units suffix = Ascii(".tmp");
  if (name.size() <= suffix.size() || name.front() != '~' ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return std::nullopt;
  }
  const std::size_t end = name.size() - suffix.size();
  const std::size_t dot = name.rfind('.', end - 1);
  // At most 19 digits, which always fit.
  if (dot == Units::npos || dot < 2 || dot + 1 == end || end - dot - 1 >= kMaxPidDigits) {
    return std::nullopt;
  }
  TemporaryName parsed{name.substr(1, dot - 1), 0};
  for (std::size_t k = dot + 1; k < end; ++k) {
    if (name[k] < '0' || name[k] > '9') return std::nullopt;
    parsed.pid = parsed.pid * 10 + static_cast<std::uint64_t>(name[k] - '0');
  }
  return parsed;
}

struct Leftover {
  fs::path path;
  std::uint64_t pid;
};

// The temporary files of other processes, gone when the folder was read, by the name they were
// made for.
std::multimap<Units, Leftover> ReadLeftovers(const fs::path& folder) {
  std::multimap<Units, Leftover> found;
  std::error_code error;
  const fs::path where = folder.empty() ? fs::path(".") : folder;
  for (fs::directory_iterator entry(where, error), end; !error && entry != end;
       entry.increment(error)) {
    const auto parsed = ParseTemporaryName(entry->path().filename().native());
    if (parsed && parsed->pid != CurrentProcessId() && !ProcessIsAlive(parsed->pid)) {
      found.emplace(parsed->stem, Leftover{entry->path(), parsed->pid});
    }
  }
  return found;
}

class LeftoverIndex {
 public:
  std::vector<Leftover> Take(const fs::path& folder, const Units& stem) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    Folder& known = folders_[folder.native()];
    if (!known.read || now - known.when > kLookAgainAfter) {
      known = {true, now, ReadLeftovers(folder)};
    }
    const auto [first, last] = known.leftovers.equal_range(stem);
    std::vector<Leftover> taken;
    for (auto it = first; it != last; ++it)
      taken.push_back(it->second);
    known.leftovers.erase(first, last);
    return taken;
  }

 private:
  struct Folder {
    bool read = false;
    std::chrono::steady_clock::time_point when;
    std::multimap<Units, Leftover> leftovers;
  };
  std::mutex mutex_;
  std::map<Units, Folder> folders_;
};

}  // namespace

fs::path TemporaryPathFor(const fs::path& file) {
  std::string suffix = ".";
  suffix += std::to_string(CurrentProcessId());
  suffix += ".tmp";
  Units name = Ascii("~");
  name += StemOf(file);
  name += Ascii(suffix);
  return file.parent_path() / name;
}

void RemoveLeftoversOf(const fs::path& file) {
  static LeftoverIndex index;
  for (const Leftover& leftover : index.Take(file.parent_path(), StemOf(file))) {
    // Asked again: the folder may have been read a while ago.
    std::error_code ignored;
    if (!ProcessIsAlive(leftover.pid)) fs::remove(leftover.path, ignored);
  }
}

}  // namespace drumlo
