// Finding and changing the records of a zip archive held in a string, for tests that damage
// archives on purpose.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace drumlo::ziptest {

// Field offsets inside a central directory record and a local header.
inline constexpr std::size_t kRecordFlags = 8;
inline constexpr std::size_t kRecordMethod = 10;
inline constexpr std::size_t kRecordCrc = 16;
inline constexpr std::size_t kRecordCompressedSize = 20;
inline constexpr std::size_t kRecordSize = 24;
inline constexpr std::size_t kRecordLocalHeader = 42;
inline constexpr std::size_t kLocalFlags = 6;

inline std::uint32_t Get32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t k = 4; k-- > 0;)
    value = value << 8 | static_cast<std::uint8_t>(bytes[at + k]);
  return value;
}

inline std::uint16_t Get16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                    static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

inline void Set32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t k = 0; k < 4; ++k)
    bytes[at + k] = static_cast<char>((value >> (8 * k)) & 0xFF);
}

inline void Set16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

inline std::size_t EndRecord(const std::string& zip) {
  return zip.rfind(std::string_view("PK\x05\x06", 4));
}

// The central directory record of the entry `name` (archives without zip64 records).
inline std::size_t DirectoryRecord(const std::string& zip, std::string_view name) {
  std::size_t at = Get32(zip, EndRecord(zip) + 16);
  while (Get32(zip, at) == 0x02014B50) {
    const std::size_t name_length = Get16(zip, at + 28);
    if (std::string_view(zip).substr(at + 46, name_length) == name) return at;
    at += 46 + name_length + Get16(zip, at + 30) + Get16(zip, at + 32);
  }
  throw std::logic_error("no directory record for " + std::string(name));
}

inline std::size_t LocalHeader(const std::string& zip, std::string_view name) {
  return Get32(zip, DirectoryRecord(zip, name) + kRecordLocalHeader);
}

}  // namespace drumlo::ziptest
