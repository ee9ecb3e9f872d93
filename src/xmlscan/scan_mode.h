// How a scanner searches nested elements. kAuto is for use; the others force one way, so that
// tests can compare the two ways on the same texts.
#pragma once

#include <cstdint>

namespace drumlo {

enum class ScanMode : std::uint8_t {
  kAuto,     // literally, and with the memo once the literal search costs too much
  kLiteral,  // literally only: exponential on deep broken nesting
  kMemo,     // with the memo from the first search
};

}  // namespace drumlo
