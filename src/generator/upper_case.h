// Upper-casing of header names with one portable table (Unicode simple uppercase mapping,
// one code unit to one code unit), so every platform names the columns the same way.
#pragma once

#include "common/text.h"

namespace drumlo {

[[nodiscard]] char16_t SimpleUpper(char16_t unit);
[[nodiscard]] Text UpperCase(TextView text);

}  // namespace drumlo
