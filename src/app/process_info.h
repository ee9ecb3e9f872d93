// The platform seam of the start-up context: what the process was started as.
#pragma once

#include <string>
#include <vector>

#include "common/text.h"

namespace drumlo {

struct ProcessInfo {
  Text exe_path;
  char16_t dir_separator;
  std::vector<Text> args;  // element 0 the program; never empty
  Text argument_text;      // the command line after the program part, leading blanks skipped
};

// `posix_args` are the arguments handed over from main(); Windows reads its own command line.
[[nodiscard]] ProcessInfo QueryProcessInfo(const std::vector<std::string>& posix_args);

}  // namespace drumlo
