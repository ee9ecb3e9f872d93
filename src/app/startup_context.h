// The start-up context: where the program lives and what it was started with. Filled once by
// InitApp and only read afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "common/text.h"

namespace drumlo {

// Hands the arguments of main() to InitApp on POSIX, where no command-line text exists; call it
// before InitApp. Ignored on Windows, where InitApp reads GetCommandLineW.
void SetProcessArguments(int argc, const char* const* argv);

// Fixes the executable path, the application directory and the argument list.
void InitApp();

// The application directory, ending with the platform's separator ("\" on Windows, "/" else).
[[nodiscard]] Text GetAppDir();
[[nodiscard]] Text GetExePath();
// Element `index` of the argument list (0 is the program); the empty text outside the list.
[[nodiscard]] Text GetArg(std::int32_t index);
[[nodiscard]] std::int32_t GetArgCount();
// The command line after the program part, leading blanks skipped (empty: no argument text).
[[nodiscard]] Text GetArgumentText();

// Splits at spaces and tabs outside double quotes and removes every double quote; an empty or
// blank line gives the single element `exe_path`.
[[nodiscard]] std::vector<Text> SplitCommandLine(TextView line, TextView exe_path);
[[nodiscard]] Position FindSeparator(Position start, TextView text, char16_t separator);
[[nodiscard]] Position FirstNonSpace(Position start, TextView text);
[[nodiscard]] Text CutAtNul(TextView text);
[[nodiscard]] Text WideCStrToText(const char16_t* str);
// The text after the program token of a command line (a quoted token ends at its closing quote,
// another at the first space or tab), leading spaces and tabs skipped.
[[nodiscard]] Text ArgumentTextAfterProgram(TextView line);
// `exe_path` up to and including its last `separator`; empty when it holds none.
[[nodiscard]] Text DirectoryOf(TextView exe_path, char16_t separator);

}  // namespace drumlo
