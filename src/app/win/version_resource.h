// The executable's own version resource, which the About message is built from.
#pragma once

#include "app/words.h"

namespace drumlo {

// Empty texts and zeros where the executable has no version resource.
[[nodiscard]] VersionFacts ReadOwnVersion();

}  // namespace drumlo
