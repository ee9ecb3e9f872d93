// Console output and directory tests on Windows: wide text on a console, UTF-8 bytes when the
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

// Folder rights on Windows come from access lists that no attribute shows, so the test is to
// create a file: a hidden one that goes away when its handle is closed.
bool IsWritableDirectory(TextView path) {
  if (!IsDirectory(path)) return false;
  std::wstring probe(path.begin(), path.end());
  if (probe.back() != L'\\' && probe.back() != L'/') probe += L'\\';
  probe += L"drumlo-listgen-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

char16_t PathSeparator() {
  return u'\\';
}

}  // namespace drumlo
