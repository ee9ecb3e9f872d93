// A child program for the start-up tests: writes what InitApp found, one item per line, as
// UTF-16LE to the file named by DRUMLO_PROBE_OUT.
#include <windows.h>

#include <string>

#include "app/startup_context.h"
#include "fileio/file_access.h"

int main() {
  wchar_t out_path[4096];
  const DWORD length = GetEnvironmentVariableW(L"DRUMLO_PROBE_OUT", out_path, 4096);
  if (length == 0 || length >= 4096) return 2;
  drumlo::InitApp();
  drumlo::Text report = drumlo::GetExePath() + u'\n' + drumlo::GetAppDir() + u'\n' +
                        drumlo::GetArgumentText() + u'\n';
  for (std::int32_t i = 0; i < drumlo::GetArgCount(); ++i)
    report += drumlo::GetArg(i) + u'\n';
  const drumlo::Text path(out_path, out_path + length);
  return drumlo::WriteFileBytes(path, drumlo::TextToBytes(report)) == 0 ? 0 : 1;
}
