// The byte forms of text: UTF-8 decoding of the workbook and UTF-16LE encoding of list files.
// The decoder is portable, so every platform produces the same text from the same bytes.
#include <cstring>

#include "fileio/file_access.h"
#include "fileio/utf8.h"

namespace drumlo {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// One step of the decoder: a code point (or U+FFFD) and the bytes it used.
struct Decoded {
  char32_t code_point;
  std::size_t length;
};

bool InRange(std::uint8_t byte, std::uint8_t low, std::uint8_t high) {
  return byte >= low && byte <= high;
}

// Allowed range of the second byte for each lead byte; later bytes are always 80..BF. These
// ranges exclude overlong forms, surrogates and values above U+10FFFF, so a mismatch ends a
// maximal subpart.
struct LeadInfo {
  std::size_t length;
  std::uint8_t second_low;
  std::uint8_t second_high;
};

LeadInfo ClassifyLead(std::uint8_t lead) {
  if (InRange(lead, 0xC2, 0xDF)) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (InRange(lead, 0xE1, 0xEF)) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (InRange(lead, 0xF1, 0xF3)) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};  // a continuation byte, C0, C1 or F5..FF can never start a character
}

char32_t LeadBits(std::uint8_t lead, std::size_t length) {
  return length == 2 ? (lead & 0x1Fu) : length == 3 ? (lead & 0x0Fu) : (lead & 0x07u);
}

// Decodes the non-ASCII sequence at bytes[at]; a malformed one yields U+FFFD for its maximal
// subpart (at least one byte).
Decoded DecodeSequence(std::span<const std::uint8_t> bytes, std::size_t at) {
  const LeadInfo info = ClassifyLead(bytes[at]);
  if (info.length == 0) return {kReplacement, 1};
  char32_t code_point = LeadBits(bytes[at], info.length);
  for (std::size_t k = 1; k < info.length; ++k) {
    const std::size_t i = at + k;
    const std::uint8_t low = k == 1 ? info.second_low : 0x80;
    const std::uint8_t high = k == 1 ? info.second_high : 0xBF;
    if (i >= bytes.size() || !InRange(bytes[i], low, high)) return {kReplacement, k};
    code_point = (code_point << 6) | (bytes[i] & 0x3Fu);
  }
  return {code_point, info.length};
}

// Length of the run of ASCII bytes starting at `at`, eight bytes at a time.
std::size_t AsciiRunLength(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::size_t i = at;
  constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
  while (i + 8 <= bytes.size()) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, sizeof word);
    if (word & kHighBits) break;
    i += 8;
  }
  while (i < bytes.size() && bytes[i] < 0x80)
    ++i;
  return i - at;
}

std::size_t Utf16Length(char32_t code_point) {
  return code_point >= 0x10000 ? 2 : 1;
}

// Walks the bytes once; `ascii` receives runs of ASCII bytes, `other` each decoded sequence.
template <typename AsciiSink, typename OtherSink>
void WalkUtf8(std::span<const std::uint8_t> bytes, AsciiSink ascii, OtherSink other) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t run = AsciiRunLength(bytes, at);
    if (run > 0) {
      ascii(at, run);
      at += run;
      continue;
    }
    const Decoded decoded = DecodeSequence(bytes, at);
    other(decoded.code_point);
    at += decoded.length;
  }
}

std::size_t CountUtf16Units(std::span<const std::uint8_t> bytes) {
  std::size_t units = 0;
  WalkUtf8(
      bytes, [&](std::size_t, std::size_t run) { units += run; },
      [&](char32_t code_point) { units += Utf16Length(code_point); });
  return units;
}

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

Text DecodeUtf8(std::span<const std::uint8_t> bytes) {
  // Measure first, then convert into a text allocated once at its final length.
  Text text(CountUtf16Units(bytes), u'\0');
  char16_t* out = text.data();
  WalkUtf8(
      bytes,
      [&](std::size_t at, std::size_t run) {
        for (std::size_t i = 0; i < run; ++i)
          *out++ = bytes[at + i];
      },
      [&](char32_t code_point) {
        if (code_point >= 0x10000) {
          *out++ = static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
          *out++ = static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
        } else {
          *out++ = static_cast<char16_t>(code_point);
        }
      });
  return text;
}

std::string EncodeUtf8(TextView text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

Text Utf8ToText(std::span<const std::uint8_t> bytes) {
  // Only EF BB BF decodes to U+FEFF, so skipping those bytes equals removing the first decoded
  // U+FEFF, without moving the whole text afterwards. A second mark stays.
  static constexpr std::uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
  if (bytes.size() >= 3 && std::memcmp(bytes.data(), kUtf8Mark, 3) == 0) bytes = bytes.subspan(3);
  return DecodeUtf8(bytes);
}

Bytes TextToBytes(TextView text) {
  Bytes bytes(text.size() * 2);
  for (std::size_t k = 0; k < text.size(); ++k) {
    bytes[2 * k] = static_cast<std::uint8_t>(text[k] & 0xFF);
    bytes[2 * k + 1] = static_cast<std::uint8_t>(text[k] >> 8);
  }
  return bytes;
}

}  // namespace drumlo
