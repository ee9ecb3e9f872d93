#include "generator/upper_case.h"

#include <algorithm>
#include <iterator>

#include "generator/upper_case_table.h"

namespace drumlo {

namespace {

using upper_table::kUpperRuns;
using upper_table::UpperRun;

char16_t UpperFromTable(char16_t unit) {
  // The last run that starts at or before `unit` is the only one that can hold it.
  const auto* after =
      std::upper_bound(std::begin(kUpperRuns), std::end(kUpperRuns), unit,
                       [](char16_t u, const UpperRun& run) { return u < run.first; });
  if (after == std::begin(kUpperRuns)) return unit;
  const UpperRun& run = *std::prev(after);
  if (unit > run.last || (unit - run.first) % run.step != 0) return unit;
  return static_cast<char16_t>(unit + run.delta);
}

}  // namespace

char16_t SimpleUpper(char16_t unit) {
  if (unit < 0x80) return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 32) : unit;
  return UpperFromTable(unit);
}

Text UpperCase(TextView text) {
  Text result(text);
  for (char16_t& unit : result)
    unit = SimpleUpper(unit);
  return result;
}

}  // namespace drumlo
