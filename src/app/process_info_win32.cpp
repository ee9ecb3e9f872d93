// Process information on Windows: GetModuleFileNameW and GetCommandLineW.
#include <windows.h>

#include "app/process_info.h"
#include "app/startup_context.h"

namespace drumlo {
namespace {

constexpr DWORD kInitialPathUnits = 1024;
// Beyond the longest path Windows can address (32,767 units).
constexpr DWORD kMaxPathUnits = 65536;

Text FromWide(const wchar_t* wide) {
  Text text;
  if (wide == nullptr) return text;
  for (; *wide != L'\0'; ++wide)
    text += static_cast<char16_t>(*wide);
  return text;
}

// A cut path would put the list files into a wrong folder, so the buffer grows until the
// whole path fits.
Text ModulePath() {
  for (DWORD units = kInitialPathUnits; units <= kMaxPathUnits; units *= 2) {
    std::wstring buffer(units, L' ');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), units);
    if (length == 0) return Text();
    if (length < units) return CutAtNul(Text(buffer.begin(), buffer.end()));
  }
  return Text();
}

}  // namespace

ProcessInfo QueryProcessInfo(const std::vector<std::string>&) {
  ProcessInfo info;
  info.exe_path = ModulePath();
  info.dir_separator = u'\\';
  const Text line = FromWide(GetCommandLineW());
  info.args = SplitCommandLine(line, info.exe_path);
  info.argument_text = ArgumentTextAfterProgram(line);
  return info;
}

}  // namespace drumlo
