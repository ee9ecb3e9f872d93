// One forward pass over an element and everything nested in it, for text written the ordinary
// way: named start tags with quoted attributes, matching end tags, no instructions inside. It
// gives the extents the element finders give, at a fraction of the cost. On anything whose
// reading it cannot vouch for (an instruction, a "<" inside a tag, a missing or misnamed end
// tag, an element inside one whose name begins its own, a text cut short) it gives up, and the
// caller asks the finders instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/text.h"
#include "xmlscan/extent.h"

namespace drumlo {

// How a walk ended.
enum class WalkResult : std::uint8_t {
  kWalked,
  // The walk reached the end of the text it was given: more text could change the answer.
  kCutShort,
  // Markup the walk does not follow; more text would not change that.
  kCannotVouch,
};

class ElementWalk {
 public:
  // Walks the element whose start tag opens at `tag_start`. When walked, `Elements()` holds it
  // first, then every element inside it in the order of their start tags. A walk that succeeds
  // on the beginning of a text gives what it gives on the whole text; one that cannot vouch
  // for the beginning cannot vouch for the whole either.
  [[nodiscard]] WalkResult Walk(TextView text, std::size_t tag_start);
  [[nodiscard]] const std::vector<Extent>& Elements() const { return elements_; }

 private:
  [[nodiscard]] WalkResult Open(TextView text, std::size_t lt, std::size_t& next);
  [[nodiscard]] WalkResult CloseTop(TextView text, std::size_t lt, std::size_t& next);
  [[nodiscard]] bool AncestorNameBegins(TextView text, const Extent& element);
  void Push(TextView text, std::size_t element);
  void Pop(TextView text);

  // The names of the open elements once nesting is deep: a table of them by hash, with the
  // name lengths in use, so that only the beginnings of a new name that long are looked up.
  class OpenNames {
   public:
    void Clear();
    [[nodiscard]] bool AnyBegins(TextView text, TextView name) const;
    void Add(TextView text, const Extent& element);
    void Remove(TextView text, const Extent& element);

   private:
    // A name is open at most once: a second one inside it would be begun by it. Slots of
    // earlier walks (another stamp) are free.
    struct Slot {
      std::uint32_t key = 0;
      std::uint32_t name_at = 0;  // where the open element's name lies; kClosed once closed
      std::uint32_t stamp = 0;
    };
    static constexpr std::uint32_t kClosed = 0xFFFFFFFFu;
    [[nodiscard]] std::size_t Find(TextView text, TextView name, std::uint32_t key) const;
    void Grow();

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
    std::uint32_t stamp_ = 1;
    std::vector<std::uint32_t> length_counts_;  // open names per length
  };

  std::vector<Extent> elements_;
  std::vector<std::size_t> open_;  // indices into elements_ of the elements not yet closed
  OpenNames open_names_;
  bool deep_ = false;
};

// The first start tag of `name` at or after `from`: "<" and the name, then white space, ">" or
// "/" ("Row" does not match "<RowSet"). kNoUnit (npos) when there is none.
[[nodiscard]] std::size_t FindStartTag(TextView text, std::size_t from, TextView name);

}  // namespace drumlo
