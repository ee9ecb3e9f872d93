// The byte forms of text: UTF-8 decoding of the workbook and UTF-16LE encoding of list files.
// The decoder gives the same text on every platform; only its speed depends on the processor.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "fileio/file_access.h"
#include "fileio/utf8.h"

// DRUMLO_UTF8_PORTABLE builds the portable code only, so tests can check it on any machine.
#if !defined(DRUMLO_UTF8_PORTABLE) && \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#include <emmintrin.h>
#define DRUMLO_UTF8_SSE2 1
#endif

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

// Decodes the non-ASCII sequence at `in`; a malformed one yields U+FFFD for its maximal
// subpart (at least one byte).
Decoded DecodeSequence(const std::uint8_t* in, const std::uint8_t* end) {
  const LeadInfo info = ClassifyLead(in[0]);
  if (info.length == 0) return {kReplacement, 1};
  const auto available = static_cast<std::size_t>(end - in);
  char32_t code_point = LeadBits(in[0], info.length);
  for (std::size_t k = 1; k < info.length; ++k) {
    const std::uint8_t low = k == 1 ? info.second_low : 0x80;
    const std::uint8_t high = k == 1 ? info.second_high : 0xBF;
    if (k >= available || !InRange(in[k], low, high)) return {kReplacement, k};
    code_point = (code_point << 6) | (in[k] & 0x3Fu);
  }
  return {code_point, info.length};
}

// Writes one code point as one unit or a surrogate pair; returns the units written.
std::size_t PutUtf16(char32_t code_point, char16_t* out) {
  if (code_point < 0x10000) {
    *out = static_cast<char16_t>(code_point);
    return 1;
  }
  out[0] = static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
  out[1] = static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
  return 2;
}

bool IsContinuation(std::uint8_t byte) {
  return (byte & 0xC0u) == 0x80u;
}

// The common case of DecodeSequence: a complete, valid sequence, tested with few branches.
// Returns the bytes used, or 0 to leave a malformed or cut-off sequence to DecodeSequence.
std::size_t DecodeValidSequence(const std::uint8_t* in, const std::uint8_t* end,
                                char32_t& code_point) {
  const auto available = static_cast<std::size_t>(end - in);
  const std::uint8_t lead = in[0];
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (available < 3 || !IsContinuation(in[1]) || !IsContinuation(in[2])) return 0;
    code_point = (lead & 0x0Fu) << 12 | (in[1] & 0x3Fu) << 6 | (in[2] & 0x3Fu);
    // Overlong forms and encoded surrogates are malformed.
    const bool valid = code_point >= 0x800 && (code_point < 0xD800 || code_point > 0xDFFF);
    return valid ? 3 : 0;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (available < 2 || !IsContinuation(in[1])) return 0;
    code_point = (lead & 0x1Fu) << 6 | (in[1] & 0x3Fu);
    return 2;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (available < 4 || !IsContinuation(in[1]) || !IsContinuation(in[2]) || !IsContinuation(in[3]))
      return 0;
    code_point =
        (lead & 0x07u) << 18 | (in[1] & 0x3Fu) << 12 | (in[2] & 0x3Fu) << 6 | (in[3] & 0x3Fu);
    return code_point >= 0x10000 && code_point <= 0x10FFFF ? 4 : 0;
  }
  return 0;
}

constexpr std::size_t kBlockBytes = 16;

// Widens the ASCII bytes at the front of a block of kBlockBytes. All kBlockBytes output slots
// may be written; only the returned count of them is meaningful.
#if DRUMLO_UTF8_SSE2
std::size_t WidenAsciiBlock(const std::uint8_t* in, char16_t* out) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(block, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(block, zero));
  const auto high_bits = static_cast<unsigned>(_mm_movemask_epi8(block));
  return high_bits == 0 ? kBlockBytes : static_cast<std::size_t>(std::countr_zero(high_bits));
}
#else
std::size_t WidenAsciiBlock(const std::uint8_t* in, char16_t* out) {
  std::size_t i = 0;
  while (i < kBlockBytes && in[i] < 0x80) {
    out[i] = in[i];
    ++i;
  }
  return i;
}
#endif

// Decoding goes through a small buffer that stays in the cache and is appended to the text
// whole, so the text is written once and never zero-filled or counted first. One step writes
// at most kBlockBytes units.
constexpr std::size_t kChunkUnits = 4096;

// Where decoding stands: the next input byte and the next output slot. Passed by value, so
// both stay in registers even though the block stores may alias anything.
struct Progress {
  const std::uint8_t* in;
  char16_t* out;
};

// Decodes a run of non-ASCII characters (a Chinese name, say) without going back to the block
// test after each one. Stops at ASCII, at the end, or when the output passes `out_limit`.
Progress DecodeNonAsciiRun(Progress at, const std::uint8_t* end, const char16_t* out_limit) {
  while (at.in < end && *at.in >= 0x80 && at.out <= out_limit) {
    char32_t code_point = 0;
    std::size_t used = DecodeValidSequence(at.in, end, code_point);
    if (used == 0) {
      const Decoded decoded = DecodeSequence(at.in, end);
      code_point = decoded.code_point;
      used = decoded.length;
    }
    at.out += PutUtf16(code_point, at.out);
    at.in += used;
  }
  return at;
}

// Decodes until the input ends or fewer than kBlockBytes slots are left before `out_end`.
Progress DecodeChunk(Progress at, const std::uint8_t* end, const char16_t* out_end) {
  const char16_t* const out_limit = out_end - kBlockBytes;
  while (at.in < end && at.out <= out_limit) {
    if (static_cast<std::size_t>(end - at.in) >= kBlockBytes) {
      const std::size_t ascii = WidenAsciiBlock(at.in, at.out);
      at.in += ascii;
      at.out += ascii;
      if (ascii == kBlockBytes) continue;
    } else if (*at.in < 0x80) {
      *at.out++ = *at.in++;
      continue;
    }
    at = DecodeNonAsciiRun(at, end, out_limit);
  }
  return at;
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

// The text's room grows by at least half again, so that a text built from many pieces is not
// moved for each of them.
void AppendUtf8Decoded(std::span<const std::uint8_t> bytes, Text& text) {
  if (bytes.empty()) return;  // the data pointer of an empty span may be null
  const std::size_t needed = text.size() + bytes.size();  // no byte gives more than one unit
  if (text.capacity() < needed) text.reserve(std::max(needed, text.capacity() + text.capacity() / 2));
  const std::uint8_t* in = bytes.data();
  const std::uint8_t* const end = in + bytes.size();
  char16_t chunk[kChunkUnits];
  while (in < end) {
    const Progress done = DecodeChunk({in, chunk}, end, chunk + kChunkUnits);
    text.append(chunk, static_cast<std::size_t>(done.out - chunk));
    in = done.in;
  }
}

namespace {

std::span<const std::uint8_t> WithoutUtf8Mark(std::span<const std::uint8_t> bytes) {
  // Only EF BB BF decodes to U+FEFF, so skipping those bytes equals removing the first decoded
  // U+FEFF, without moving the whole text afterwards. A second mark stays.
  static constexpr std::uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
  if (bytes.size() >= 3 && std::memcmp(bytes.data(), kUtf8Mark, 3) == 0) return bytes.subspan(3);
  return bytes;
}

}  // namespace

Text DecodeUtf8(std::span<const std::uint8_t> bytes) {
  Text text;
  AppendUtf8Decoded(bytes, text);
  return text;
}

void Utf8PieceDecoder::Add(std::span<const std::uint8_t> piece, Text& out) {
  if (!at_start_) {
    AddAfterStart(piece, out);
    return;
  }
  // The byte-order mark is told only once three bytes are there.
  pending_.insert(pending_.end(), piece.begin(), piece.end());
  if (pending_.size() < 3) return;
  at_start_ = false;
  const std::span<const std::uint8_t> rest = WithoutUtf8Mark(pending_);
  const Bytes first(rest.begin(), rest.end());
  pending_.clear();
  AddAfterStart(first, out);
}

void Utf8PieceDecoder::Finish(Text& out) {
  std::span<const std::uint8_t> rest = pending_;
  if (at_start_) rest = WithoutUtf8Mark(rest);
  at_start_ = false;
  AppendUtf8Decoded(rest, out);
  pending_.clear();
}

// An ASCII byte is never part of a longer sequence, so decoding stops after one and goes on
// with the next piece as if the input had never been cut. Bytes after the last ASCII byte wait
// for the next piece.
void Utf8PieceDecoder::AddAfterStart(std::span<const std::uint8_t> piece, Text& out) {
  const auto is_ascii = [](std::uint8_t byte) { return byte < 0x80; };
  const auto last_ascii = std::find_if(piece.rbegin(), piece.rend(), is_ascii);
  if (last_ascii == piece.rend()) {
    pending_.insert(pending_.end(), piece.begin(), piece.end());
    return;
  }
  const std::size_t end = static_cast<std::size_t>(piece.rend() - last_ascii);  // one past it
  std::size_t start = 0;
  if (!pending_.empty()) {
    const std::size_t first = static_cast<std::size_t>(
        std::find_if(piece.begin(), piece.end(), is_ascii) - piece.begin());
    pending_.insert(pending_.end(), piece.begin(), piece.begin() + first + 1);
    AppendUtf8Decoded(pending_, out);
    start = first + 1;
  }
  AppendUtf8Decoded(piece.subspan(start, end - start), out);
  pending_.assign(piece.begin() + end, piece.end());
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
  return DecodeUtf8(WithoutUtf8Mark(bytes));
}

Bytes TextToBytes(TextView text) {
  Bytes bytes(text.size() * 2);
  for (std::size_t k = 0; k < text.size(); ++k) {
    bytes[2 * k] = static_cast<std::uint8_t>(text[k] & 0xFF);
    bytes[2 * k + 1] = static_cast<std::uint8_t>(text[k] >> 8);
  }
  return bytes;
}

std::span<const std::uint8_t> TextAsBytes(TextView text, Bytes& scratch) {
  if constexpr (std::endian::native == std::endian::little) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size() * 2};
  } else {
    scratch = TextToBytes(text);
    return scratch;
  }
}

}  // namespace drumlo
