// Forward searches over UTF-16 text used by the element scanner. Indices are 0-based and
// kNoUnit means "not found". All searches read only inside `text`.
#pragma once

#include <bit>
#include <cstddef>

#include "common/text.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define DRUMLO_UNIT_SEARCH_SSE2 1
#endif

namespace drumlo {

inline constexpr std::size_t kNoUnit = TextView::npos;

// The searches are inline: the scanner calls them for short stretches in its inner loops.
namespace unit_search {
#if DRUMLO_UNIT_SEARCH_SSE2
inline constexpr std::size_t kLanes = 8;

inline __m128i Load(const char16_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

inline __m128i Splat(char16_t unit) {
  return _mm_set1_epi16(static_cast<short>(unit));
}

// Index of the first lane whose bits are set in a byte mask (two bits per code unit).
inline std::size_t FirstLane(unsigned mask) {
  return static_cast<std::size_t>(std::countr_zero(mask)) / 2;
}
#endif
}  // namespace unit_search

// First index at or after `from` holding any of the N units.
template <std::size_t N>
[[nodiscard]] inline std::size_t FindAnyOf(TextView text, std::size_t from,
                                           const char16_t (&units)[N]) {
  const std::size_t n = text.size();
  const char16_t* data = text.data();
  std::size_t i = from;
  if (i >= n) return kNoUnit;
#if DRUMLO_UNIT_SEARCH_SSE2
  using namespace unit_search;
  __m128i wanted[N];
  for (std::size_t k = 0; k < N; ++k)
    wanted[k] = Splat(units[k]);
  for (; i + kLanes <= n; i += kLanes) {
    const __m128i block = Load(data + i);
    __m128i hits = _mm_cmpeq_epi16(block, wanted[0]);
    for (std::size_t k = 1; k < N; ++k)
      hits = _mm_or_si128(hits, _mm_cmpeq_epi16(block, wanted[k]));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) return i + FirstLane(mask);
  }
#endif
  for (; i < n; ++i) {
    for (const char16_t unit : units) {
      if (data[i] == unit) return i;
    }
  }
  return kNoUnit;
}

// First index at or after `from` holding `unit`.
[[nodiscard]] inline std::size_t FindUnit(TextView text, std::size_t from, char16_t unit) {
  const char16_t units[] = {unit};
  return FindAnyOf(text, from, units);
}

// A text given as two parts ("</" and a name), so that prefixes need not be built.
struct JoinedText {
  TextView head;
  TextView tail;
  [[nodiscard]] std::size_t size() const { return head.size() + tail.size(); }
  [[nodiscard]] char16_t operator[](std::size_t i) const {
    return i < head.size() ? head[i] : tail[i - head.size()];
  }
  [[nodiscard]] bool MatchesAt(const char16_t* at) const {
    return TextView(at, head.size()) == head && TextView(at + head.size(), tail.size()) == tail;
  }
  [[nodiscard]] bool operator==(const JoinedText& other) const;
};

// First index at or after `from` where `needle` begins. An empty needle is found at `from`
// when `from` lies inside the text.
[[nodiscard]] std::size_t FindJoined(TextView text, std::size_t from, JoinedText needle);

[[nodiscard]] inline std::size_t FindText(TextView text, std::size_t from, TextView needle) {
  return FindJoined(text, from, JoinedText{TextView{}, needle});
}

[[nodiscard]] inline std::size_t FindAnyOf2(TextView text, std::size_t from, char16_t a,
                                            char16_t b) {
  const char16_t units[] = {a, b};
  return FindAnyOf(text, from, units);
}
[[nodiscard]] inline std::size_t FindAnyOf4(TextView text, std::size_t from, char16_t a, char16_t b,
                                            char16_t c, char16_t d) {
  const char16_t units[] = {a, b, c, d};
  return FindAnyOf(text, from, units);
}

}  // namespace drumlo
