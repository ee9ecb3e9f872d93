// Forward searches over UTF-16 text used by the element scanner. Indices are 0-based and
// kNoUnit means "not found". All searches read only inside `text`.
#pragma once

#include <cstddef>

#include "common/text.h"

namespace drumlo {

inline constexpr std::size_t kNoUnit = TextView::npos;

// First index at or after `from` holding `unit`.
[[nodiscard]] std::size_t FindUnit(TextView text, std::size_t from, char16_t unit);

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

// First index at or after `from` holding any of the four units.
[[nodiscard]] std::size_t FindAnyOf4(TextView text, std::size_t from, char16_t a, char16_t b,
                                     char16_t c, char16_t d);

}  // namespace drumlo
