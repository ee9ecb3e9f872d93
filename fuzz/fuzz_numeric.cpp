// The numeric value of arbitrary texts and its rounding to 32-bit and byte values.
// Input: a flags byte (bit 0: raw UTF-16 units), then the text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "fuzz_input.h"
#include "generator/numeric_value.h"

namespace {

// Nearest integer with halves to even: within 0.5, and an exact half lands on an even number.
void CheckRounded(double value, double rounded) {
  using drumlo::fuzz::Check;
  const double distance = std::fabs(rounded - value);
  Check(distance <= 0.5);
  if (distance == 0.5) Check(std::fmod(rounded, 2.0) == 0.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace drumlo;
  using drumlo::fuzz::Check;
  drumlo::fuzz::InputReader in(data, size);
  const bool raw = (in.Byte() & 1) != 0;
  const Text text = drumlo::fuzz::TextOf(in.Rest(), raw);
  const double value = NumericValue(text);
  const std::optional<double> leading = LeadingNumber(text);
  Check(leading ? (*leading == value || (std::isnan(*leading) && std::isnan(value))) : value == 0);
  if (const std::optional<std::int32_t> whole = RoundToInt32(value)) {
    Check(std::isfinite(value));
    CheckRounded(value, *whole);
  } else {
    Check(!std::isfinite(value) || value < -2147483648.5 || value >= 2147483647.5);
  }
  if (const std::optional<std::uint8_t> small = RoundToByte(value)) {
    CheckRounded(value, *small);
  } else {
    Check(!std::isfinite(value) || value < -0.5 || value >= 255.5);
  }
  return 0;
}
