// Where one element or processing instruction lies in a text, as the scanner works with it:
// 0-based indices, "end" meaning one past. The 1-based ElementExtent of the accessors is made
// from it only at their interface. The scanner serves texts whose positions fit a Position, so
// 32 bits hold every index; a walk of a long row keeps many extents.
#pragma once

#include <cstdint>

#include "common/text.h"

namespace drumlo {

struct Extent {
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  std::uint32_t tag_start = kNone;  // the "<" of the start tag; kNone: not found
  std::uint32_t name_end = kNone;   // one past the name: the attribute region begins here
  std::uint32_t attr_end = kNone;   // the ">" closing the start tag, the "/" of "/>", or "?>"
  std::uint32_t content_start = 0;  // one past that ">" or "/" (or past "?>")
  std::uint32_t content_end = 0;    // the "<" of the end tag, or the final ">" of "/>"
  std::uint32_t outer_end = 0;      // one past the element's last ">"

  [[nodiscard]] bool Found() const { return tag_start != kNone; }

  [[nodiscard]] TextView Name(TextView text) const {
    return text.substr(tag_start + 1, name_end - tag_start - 1);
  }
  [[nodiscard]] TextView Content(TextView text) const {
    return text.substr(content_start, content_end - content_start);
  }
  [[nodiscard]] TextView Whole(TextView text) const {
    return text.substr(tag_start, outer_end - tag_start);
  }
  [[nodiscard]] TextView AttributeRegion(TextView text) const {
    return text.substr(name_end, attr_end - name_end);
  }
};

}  // namespace drumlo
