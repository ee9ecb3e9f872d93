// Console output and directory test on Windows: wide text on a console, UTF-8 bytes when the
// output is redirected.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/cli/console.h"
#include "fileio/utf8.h"

namespace drumlo {
namespace {

class Win32Console : public Console {
 public:
  void Out(TextView text) override { Write(STD_OUTPUT_HANDLE, stdout, text); }
  void Err(TextView text) override { Write(STD_ERROR_HANDLE, stderr, text); }

 private:
  static void Write(DWORD which, std::FILE* stream, TextView text) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
      DWORD written = 0;
      WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(text.data()),
                    static_cast<DWORD>(text.size()), &written, nullptr);
      return;
    }
    const std::string bytes = EncodeUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
  }
};

}  // namespace

Console& SystemConsole() {
  static Win32Console console;
  return console;
}

bool IsDirectory(TextView path) {
  const Text z(path);
  const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(z.c_str()));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool UserPrefersChinese() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
}

char16_t PathSeparator() {
  return u'\\';
}

}  // namespace drumlo
