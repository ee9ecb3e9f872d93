// The start-up context: set once at start, read afterwards. The splitting rules are portable;
// what the process was started as comes from the platform seam (process_info.h).
#include "app/startup_context.h"

#include <algorithm>
#include <string>

#include "app/process_info.h"

namespace drumlo {
namespace {

struct StartupState {
  std::vector<std::string> posix_args;
  Text exe_path;
  Text app_dir;
  std::vector<Text> args;
  Text argument_text;
};

StartupState& State() {
  static StartupState state;
  return state;
}

// Positions address at most kMaxPositionalLength units; anything behind is out of reach.
Position LastPosition(TextView text) {
  return static_cast<Position>(std::min(text.size(), kMaxPositionalLength));
}

char16_t At(TextView text, Position position) {
  return text[static_cast<std::size_t>(position) - 1];
}

bool IsBlank(char16_t unit) {
  return unit == u' ' || unit == u'\t';
}

Text WithoutQuotes(TextView token) {
  Text element;
  element.reserve(token.size());
  for (const char16_t unit : token) {
    if (unit != u'"') element += unit;
  }
  return element;
}

}  // namespace

void SetProcessArguments(int argc, const char* const* argv) {
  std::vector<std::string>& args = State().posix_args;
  args.clear();
  for (int i = 0; i < argc && argv != nullptr && argv[i] != nullptr; ++i)
    args.emplace_back(argv[i]);
}

void InitApp() {
  StartupState& state = State();
  ProcessInfo info = QueryProcessInfo(state.posix_args);
  state.exe_path = std::move(info.exe_path);
  state.app_dir = DirectoryOf(state.exe_path, info.dir_separator);
  state.args = std::move(info.args);
  if (state.args.empty()) state.args.push_back(state.exe_path);
  state.argument_text = std::move(info.argument_text);
}

Text GetAppDir() {
  return State().app_dir;
}

Text GetExePath() {
  return State().exe_path;
}

Text GetArg(std::int32_t index) {
  const std::vector<Text>& args = State().args;
  if (index < 0 || static_cast<std::size_t>(index) >= args.size()) return Text();
  return args[static_cast<std::size_t>(index)];
}

std::int32_t GetArgCount() {
  return static_cast<std::int32_t>(State().args.size());
}

Text GetArgumentText() {
  return State().argument_text;
}

std::vector<Text> SplitCommandLine(TextView line, TextView exe_path) {
  std::vector<Text> args;
  Text blanked(line);
  // Tabs separate like spaces, inside quotes as well.
  std::replace(blanked.begin(), blanked.end(), u'\t', u' ');
  const Position end = LastPosition(blanked) + 1;
  Position p = FirstNonSpace(1, blanked);
  while (p > 0) {
    Position e = FindSeparator(p, blanked, u' ');
    if (e == 0) e = end;
    args.push_back(WithoutQuotes(TextView(blanked).substr(p - 1, e - p)));
    p = FirstNonSpace(e, blanked);
  }
  if (args.empty()) args.emplace_back(exe_path);
  return args;
}

Position FindSeparator(Position start, TextView text, char16_t separator) {
  bool inside_quotes = false;
  for (Position i = std::max<Position>(start, 1); i <= LastPosition(text); ++i) {
    // The separator test comes first, so a quote passed as separator never toggles.
    if (At(text, i) == separator) {
      if (!inside_quotes) return i;
    } else if (At(text, i) == u'"') {
      inside_quotes = !inside_quotes;
    }
  }
  return 0;
}

Position FirstNonSpace(Position start, TextView text) {
  for (Position i = std::max<Position>(start, 1); i <= LastPosition(text); ++i) {
    if (At(text, i) != u' ') return i;
  }
  return 0;
}

Text CutAtNul(TextView text) {
  return Text(text.substr(0, text.find(u'\0')));
}

Text WideCStrToText(const char16_t* str) {
  if (str == nullptr) return Text();
  return Text(str);
}

Text ArgumentTextAfterProgram(TextView line) {
  std::size_t rest = 0;
  if (!line.empty() && line.front() == u'"') {
    const std::size_t closing = line.find(u'"', 1);
    rest = closing == TextView::npos ? line.size() : closing + 1;
  } else {
    while (rest < line.size() && !IsBlank(line[rest]))
      ++rest;
  }
  while (rest < line.size() && IsBlank(line[rest]))
    ++rest;
  return Text(line.substr(rest));
}

Text DirectoryOf(TextView exe_path, char16_t separator) {
  const std::size_t last = exe_path.rfind(separator);
  if (last == TextView::npos) return Text();
  return Text(exe_path.substr(0, last + 1));
}

}  // namespace drumlo
