#include "app/field_path.h"

namespace drumlo {
namespace {

bool IsBlank(char16_t unit) {
  return unit == u' ' || unit == u'\t';
}

TextView WithoutBlanks(TextView text, bool leading_too) {
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  while (leading_too && !text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  return text;
}

}  // namespace

Text WorkbookPathOf(TextView typed, FileAccess& files) {
  const bool leading_too = !files.Exists(typed);
  TextView path = WithoutBlanks(typed, leading_too);
  if (path.size() >= 2 && path.front() == u'"' && path.back() == u'"') {
    path = WithoutBlanks(path.substr(1, path.size() - 2), leading_too);
  }
  return Text(path);
}

}  // namespace drumlo
