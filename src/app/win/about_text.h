// The About message and the version information it is built from.
#pragma once

#include <cstdint>

#include "common/text.h"

namespace drumlo {

// What the About message shows of the executable's version resource.
struct VersionFacts {
  Text product_name;
  Text legal_copyright;
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t revision = 0;  // the fourth number; the third is not shown
};

// Six lines joined by single line feeds, nothing after the last one.
[[nodiscard]] Text AboutText(const VersionFacts& facts);

// Reads the version resource of the running executable; empty texts and zeros where it has none.
[[nodiscard]] VersionFacts ReadOwnVersion();

}  // namespace drumlo
