// Console output and directory tests on POSIX systems: UTF-8 throughout.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/cli/console.h"
#include "fileio/utf8.h"

namespace drumlo {
namespace {

class StdioConsole : public Console {
 public:
  void Out(TextView text) override { Write(stdout, text); }
  void Err(TextView text) override { Write(stderr, text); }

 private:
  static void Write(std::FILE* stream, TextView text) {
    const std::string bytes = EncodeUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
  }
};

}  // namespace

Console& SystemConsole() {
  static StdioConsole console;
  return console;
}

bool IsDirectory(TextView path) {
  struct stat info {};
  return ::stat(EncodeUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool UserPrefersChinese() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return std::string(value).starts_with("zh");
  }
  return false;
}

bool IsWritableDirectory(TextView path) {
  return IsDirectory(path) && ::access(EncodeUtf8(path).c_str(), W_OK | X_OK) == 0;
}

char16_t PathSeparator() {
  return u'/';
}

}  // namespace drumlo
