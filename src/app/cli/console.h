// What the command-line tool needs from its platform: text output, two directory tests and the
// user's language.
#pragma once

#include <vector>

#include "common/text.h"

namespace drumlo {

class Console {
 public:
  virtual ~Console() = default;
  virtual void Out(TextView text) = 0;  // standard output
  virtual void Err(TextView text) = 0;  // standard error
};

// The platform's console (UTF-8 on pipes and POSIX terminals, wide text on a Windows console).
[[nodiscard]] Console& SystemConsole();

[[nodiscard]] bool IsDirectory(TextView path);
// True when files can be created in the directory by this process.
[[nodiscard]] bool IsWritableDirectory(TextView path);

// Whether the user's language is Chinese: on POSIX the first of LC_ALL, LC_MESSAGES and LANG
// that is set begins with "zh"; on Windows the user's interface language.
[[nodiscard]] bool UserPrefersChinese();

// The separator the platform puts between a directory and a file name.
[[nodiscard]] char16_t PathSeparator();

// Runs the tool with its arguments (the program name not included); returns the exit code.
[[nodiscard]] int RunListTool(const std::vector<Text>& args, Console& console);

}  // namespace drumlo
