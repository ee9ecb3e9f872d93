// Shared helpers of the command-line tool's end-to-end tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "app/cli/console.h"
#include "fileio/file_access.h"

namespace drumlo {

class CapturingConsole : public Console {
 public:
  void Out(TextView text) override { out += text; }
  void Err(TextView text) override { err += text; }
  Text out;
  Text err;
};

inline Text PathText(const std::filesystem::path& p) {
  const std::u8string u8 = p.u8string();
  return Utf8ToText(std::span(reinterpret_cast<const std::uint8_t*>(u8.data()), u8.size()));
}

// A path as a JSON string holds it: backslashes doubled.
inline Text JsonEscaped(TextView text) {
  Text out;
  for (const char16_t unit : text) {
    out += unit;
    if (unit == u'\\') out += unit;
  }
  return out;
}

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The regular files of a folder (links not followed) by name; none for a missing folder.
inline std::map<std::string, std::string> FilesIn(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  if (!std::filesystem::exists(dir)) return files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file() && !entry.is_symlink()) {
      files[entry.path().filename().string()] = ReadAll(entry.path());
    }
  }
  return files;
}

}  // namespace drumlo
