// Helpers shared by the fuzz targets: turning fuzzer bytes into texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "common/text.h"
#include "fileio/utf8.h"

namespace drumlo::fuzz {

// Consumes bytes from the front of the fuzzer's input.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : rest_(data, size) {}

  std::uint8_t Byte() {
    if (rest_.empty()) return 0;
    const std::uint8_t b = rest_.front();
    rest_ = rest_.subspan(1);
    return b;
  }
  std::span<const std::uint8_t> Take(std::size_t count) {
    count = count < rest_.size() ? count : rest_.size();
    const auto taken = rest_.first(count);
    rest_ = rest_.subspan(count);
    return taken;
  }
  std::span<const std::uint8_t> Rest() const { return rest_; }

 private:
  std::span<const std::uint8_t> rest_;
};

// Pairs of bytes as little-endian code units: any code unit, lone surrogates and U+0000 too.
inline Text RawUnits(std::span<const std::uint8_t> bytes) {
  Text text;
  text.reserve(bytes.size() / 2);
  for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
    text.push_back(static_cast<char16_t>(bytes[k] | (bytes[k + 1] << 8)));
  }
  return text;
}

// Raw code units when `raw`, else the bytes decoded as UTF-8 (so that XML seeds stay XML).
inline Text TextOf(std::span<const std::uint8_t> bytes, bool raw) {
  return raw ? RawUnits(bytes) : DecodeUtf8(bytes);
}

// A broken invariant is a crash, which libFuzzer records with its input.
inline void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace drumlo::fuzz
