#include "xmlscan/unit_search.h"

namespace drumlo {
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
  const __m128i first_units = unit_search::Splat(first);
  const __m128i last_units = unit_search::Splat(last);
  for (; i + m - 1 + unit_search::kLanes <= n; i += unit_search::kLanes) {
    const __m128i hits =
        _mm_and_si128(_mm_cmpeq_epi16(unit_search::Load(data + i), first_units),
                      _mm_cmpeq_epi16(unit_search::Load(data + i + m - 1), last_units));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    while (mask != 0) {
      const std::size_t at = i + unit_search::FirstLane(mask);
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

}  // namespace drumlo
