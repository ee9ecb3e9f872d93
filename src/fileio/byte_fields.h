// Little-endian fields of binary file formats (zip records, compound file sectors), read from
// a byte span whose bounds the caller has checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace drumlo {

[[nodiscard]] inline std::uint16_t Le16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

[[nodiscard]] inline std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(Le16(bytes, at)) |
         (static_cast<std::uint32_t>(Le16(bytes, at + 2)) << 16);
}

[[nodiscard]] inline std::uint64_t Le64(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint64_t>(Le32(bytes, at)) |
         (static_cast<std::uint64_t>(Le32(bytes, at + 4)) << 32);
}

// Whether `count` bytes from `at` lie inside a span of `size` bytes, without overflow.
[[nodiscard]] inline bool FitsIn(std::uint64_t size, std::uint64_t at, std::uint64_t count) {
  return at <= size && count <= size - at;
}

}  // namespace drumlo
