// Shared helpers of the command-line tool's end-to-end tests.
#pragma once

#include <cstdlib>
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

// Converts `file` with LibreOffice Calc into `dir` ("xlsx", "ods", a "csv:..." filter), with a
// profile of its own so that another LibreOffice running at the same time does not take the
// job; false when soffice is missing or fails.
inline bool ConvertWithLibreOffice(const std::filesystem::path& file, const std::string& format,
                                   const std::filesystem::path& dir) {
  const std::string command = "cd '" + dir.string() + "' && soffice -env:UserInstallation=file://" +
                              dir.string() + "/profile --headless --convert-to '" + format + "' '" +
                              file.string() + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

inline bool HaveLibreOffice() {
  return std::system("command -v soffice >/dev/null 2>&1") == 0;
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
