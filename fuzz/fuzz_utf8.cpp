// UTF-8 decoding of arbitrary bytes, and the UTF-16LE form of the result.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fileio/file_access.h"
#include "fileio/utf8.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace drumlo;
  using drumlo::fuzz::Check;
  const std::span<const std::uint8_t> bytes(data, size);
  const Text decoded = DecodeUtf8(bytes);
  Check(decoded.size() <= size);  // never more code units than bytes
  const Text text = Utf8ToText(bytes);
  Check(text.size() == decoded.size() ||
        (text.size() + 1 == decoded.size() && decoded.front() == u'\uFEFF'));
  // The decoder only ever produces well-formed text, so a second round changes nothing.
  const std::string encoded = EncodeUtf8(decoded);
  const auto* again = reinterpret_cast<const std::uint8_t*>(encoded.data());
  Check(DecodeUtf8(std::span(again, encoded.size())) == decoded);
  Check(TextToBytes(text).size() == 2 * text.size());
  return 0;
}
