// The temporary file into which a file is written whole before it is moved over the file's name,
// and the removal of those that killed processes left behind. Used by the platform files only.
#pragma once

#include <cstdint>
#include <filesystem>

namespace drumlo {

// For tests only: when set, a whole-file write calls it once the first half of the new bytes is
// in the file being written, and writes the rest when it returns.
inline void (*pause_mid_write_for_tests)() = nullptr;

// "~", the file's name, ".", this process's id and ".tmp", beside the file; the name is cut so
// that the whole stays within 255 units. Never a list file's name (digits and ".txt"), and two
// processes never share it.
[[nodiscard]] std::filesystem::path TemporaryPathFor(const std::filesystem::path& file);

// Removes the temporary files that processes no longer alive left beside `file` for a file of
// its name. A folder is looked through at most once every few seconds, so that a run writing
// thousands of files into it does not read it thousands of times.
void RemoveLeftoversOf(const std::filesystem::path& file);

// Per platform.
[[nodiscard]] std::uint64_t CurrentProcessId();
// True also when the answer cannot be had: a file of a process that may be alive is left alone.
[[nodiscard]] bool ProcessIsAlive(std::uint64_t pid);

}  // namespace drumlo
