// Printable form of a text for failure messages: ASCII as it is, anything else as "?".
#pragma once

#include <string>

#include "common/text.h"

namespace drumlo {

inline std::string Show(TextView text) {
  std::string out;
  for (const char16_t u : text)
    out += u < 0x80 ? static_cast<char>(u) : '?';
  return out;
}

}  // namespace drumlo
