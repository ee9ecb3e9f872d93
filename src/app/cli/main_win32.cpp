// The command-line tool on Windows: wide arguments as the C runtime splits them.
#include <vector>

#include "app/cli/console.h"
#include "app/startup_context.h"

int wmain(int argc, wchar_t** argv) {
  drumlo::InitApp();
  std::vector<drumlo::Text> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(drumlo::WideCStrToText(reinterpret_cast<const char16_t*>(argv[i])));
  }
  return drumlo::RunListTool(args, drumlo::SystemConsole());
}
