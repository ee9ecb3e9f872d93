// One forward pass over an element and everything nested in it, for text written the ordinary
// way: named start tags with quoted attributes, matching end tags, no instructions inside. It
// gives the extents the element finders give, at a fraction of the cost. On anything whose
// reading it cannot vouch for (an instruction, a "<" inside a tag, a missing or misnamed end
// tag, an end tag that an enclosing element's end prefix also matches, a text cut short) it
// gives up, and the caller asks the finders instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/text.h"

namespace drumlo {

// Where a walked element lies; 0-based indices, "end" meaning one past.
struct WalkedElement {
  std::uint32_t tag_start;      // the "<" of the start tag
  std::uint32_t name_end;       // one past the name: the attribute region begins here
  std::uint32_t attr_end;       // the ">" closing the start tag, or the "/" of "/>"
  std::uint32_t content_start;  // one past that ">" or "/"
  std::uint32_t content_end;    // the "<" of the end tag, or the final ">" of "/>"
  std::uint32_t outer_end;      // one past the element's last ">"

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

class ElementWalk {
 public:
  // Walks the element whose start tag opens at `tag_start`. On success `Elements()` holds it
  // first, then every element inside it in the order of their start tags.
  [[nodiscard]] bool Walk(TextView text, std::size_t tag_start);
  [[nodiscard]] const std::vector<WalkedElement>& Elements() const { return elements_; }

 private:
  [[nodiscard]] bool CloseTop(TextView text, std::size_t lt, std::size_t& next);

  std::vector<WalkedElement> elements_;
  std::vector<std::uint32_t> open_;  // indices into elements_ of the elements not yet closed
};

// The first start tag of `name` at or after `from`: "<" and the name, then white space, ">" or
// "/" ("Row" does not match "<RowSet"). kNoUnit (npos) when there is none.
[[nodiscard]] std::size_t FindStartTag(TextView text, std::size_t from, TextView name);

}  // namespace drumlo
