// The directory of an OLE compound file (the container of legacy .xls workbooks and of
// password-protected Office files), read just far enough to name the streams it holds.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/text.h"

namespace drumlo {

inline constexpr std::uint8_t kCompoundFileSignature[8] = {0xD0, 0xCF, 0x11, 0xE0,
                                                           0xA1, 0xB1, 0x1A, 0xE1};

// The names of the streams directly in the root storage, in directory order; nothing when the
// header, the sector chains or the directory cannot be followed.
[[nodiscard]] std::optional<std::vector<Text>> RootStreamNames(std::span<const std::uint8_t> file);

// The names of all stream entries that stand anywhere in the file on a 128-byte boundary after
// the header: a fallback for files whose sector chains are damaged.
[[nodiscard]] std::vector<Text> ScanStreamNames(std::span<const std::uint8_t> file);

}  // namespace drumlo
