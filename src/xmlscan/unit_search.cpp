#include "xmlscan/unit_search.h"

#include <bit>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define DRUMLO_UNIT_SEARCH_SSE2 1
#endif

namespace drumlo {
namespace {

#if DRUMLO_UNIT_SEARCH_SSE2
constexpr std::size_t kLanes = 8;

__m128i Load(const char16_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

__m128i Splat(char16_t unit) {
  return _mm_set1_epi16(static_cast<short>(unit));
}

// Byte mask of the lanes equal to `unit`; two bits per code unit.
unsigned EqualMask(__m128i block, __m128i unit) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, unit)));
}

std::size_t FirstLane(unsigned mask) {
  return static_cast<std::size_t>(std::countr_zero(mask)) / 2;
}
#endif

}  // namespace

std::size_t FindUnit(TextView text, std::size_t from, char16_t unit) {
  const std::size_t n = text.size();
  const char16_t* data = text.data();
  std::size_t i = from;
  if (i >= n) return kNoUnit;
#if DRUMLO_UNIT_SEARCH_SSE2
  const __m128i wanted = Splat(unit);
  for (; i + kLanes <= n; i += kLanes) {
    const unsigned mask = EqualMask(Load(data + i), wanted);
    if (mask != 0) return i + FirstLane(mask);
  }
#endif
  for (; i < n; ++i) {
    if (data[i] == unit) return i;
  }
  return kNoUnit;
}

bool JoinedText::operator==(const JoinedText& other) const {
  if (size() != other.size()) return false;
  if (head == other.head) return tail == other.tail;
  for (std::size_t i = 0; i < size(); ++i) {
    if ((*this)[i] != other[i]) return false;
  }
  return true;
}

std::size_t FindJoined(TextView text, std::size_t from, JoinedText needle) {
  const std::size_t m = needle.size();
  const std::size_t n = text.size();
  if (m == 0) return from < n ? from : kNoUnit;
  if (from > n || m > n - from) return kNoUnit;
  if (m == 1) return FindUnit(text, from, needle[0]);
  const char16_t* data = text.data();
  const char16_t first = needle[0];
  const char16_t last = needle[m - 1];
  std::size_t i = from;
#if DRUMLO_UNIT_SEARCH_SSE2
  // Candidates must match the needle's first and last unit; only those are compared whole.
  const __m128i first_units = Splat(first);
  const __m128i last_units = Splat(last);
  for (; i + m - 1 + kLanes <= n; i += kLanes) {
    const __m128i hits = _mm_and_si128(_mm_cmpeq_epi16(Load(data + i), first_units),
                                       _mm_cmpeq_epi16(Load(data + i + m - 1), last_units));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    while (mask != 0) {
      const std::size_t at = i + FirstLane(mask);
      if (needle.MatchesAt(data + at)) return at;
      mask &= mask - 1;
      mask &= mask - 1;  // both bits of the lane
    }
  }
#endif
  for (; i + m <= n; ++i) {
    if (data[i] == first && data[i + m - 1] == last && needle.MatchesAt(data + i)) return i;
  }
  return kNoUnit;
}

std::size_t FindAnyOf4(TextView text, std::size_t from, char16_t a, char16_t b, char16_t c,
                       char16_t d) {
  const std::size_t n = text.size();
  const char16_t* data = text.data();
  std::size_t i = from;
  if (i >= n) return kNoUnit;
#if DRUMLO_UNIT_SEARCH_SSE2
  const __m128i ua = Splat(a);
  const __m128i ub = Splat(b);
  const __m128i uc = Splat(c);
  const __m128i ud = Splat(d);
  for (; i + kLanes <= n; i += kLanes) {
    const __m128i block = Load(data + i);
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(block, ua), _mm_cmpeq_epi16(block, ub)),
                     _mm_or_si128(_mm_cmpeq_epi16(block, uc), _mm_cmpeq_epi16(block, ud)));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) return i + FirstLane(mask);
  }
#endif
  for (; i < n; ++i) {
    const char16_t u = data[i];
    if (u == a || u == b || u == c || u == d) return i;
  }
  return kNoUnit;
}

}  // namespace drumlo
