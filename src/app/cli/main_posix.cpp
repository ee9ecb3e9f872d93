// The command-line tool on POSIX systems: arguments arrive as UTF-8 bytes.
#include <vector>

#include "app/cli/console.h"
#include "app/startup_context.h"

int main(int argc, char** argv) {
  drumlo::SetProcessArguments(argc, argv);
  drumlo::InitApp();
  std::vector<drumlo::Text> args;
  for (std::int32_t i = 1; i < drumlo::GetArgCount(); ++i)
    args.push_back(drumlo::GetArg(i));
  return drumlo::RunListTool(args, drumlo::SystemConsole());
}
