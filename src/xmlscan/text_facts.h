// Forward searches that the scans of one text repeat, remembered for that text: where the next
// "?>", ">", quote or tag end lies. Indices are 0-based; kNoUnit means none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "common/text.h"
#include "xmlscan/unit_search.h"

namespace drumlo {

// What one forward search learned: no occurrence begins in [from_, next_), and one begins at
// next_ when found_ (otherwise next_ is where the search stopped looking). Searches that move
// forward through a text, or start again inside the known stretch, do not scan it twice.
class ForwardMemo {
 public:
  // The first occurrence at or after `from` that begins before `limit`, or kNoUnit.
  // `search(a, b)` gives the first occurrence that begins in [a, b), or kNoUnit.
  template <class Search>
  [[nodiscard]] std::size_t Next(std::size_t from, std::size_t limit, const Search& search) {
    if (from >= limit) return kNoUnit;
    if (from_ != kNoUnit && from < from_ && limit > from_) {
      const std::size_t hit = search(from, from_);
      if (hit != kNoUnit) return Remember(from, hit, true);
      from_ = from;  // the stretch before the known one is empty too
    }
    if (from_ == kNoUnit || from < from_ || from > next_) {
      const std::size_t hit = search(from, limit);
      return Remember(from, hit == kNoUnit ? limit : hit, hit != kNoUnit);
    }
    if (found_) return next_ < limit ? next_ : kNoUnit;
    if (limit <= next_) return kNoUnit;
    const std::size_t hit = search(next_, limit);
    return Remember(from_, hit == kNoUnit ? limit : hit, hit != kNoUnit);
  }

 private:
  std::size_t Remember(std::size_t from, std::size_t next, bool found) {
    from_ = from;
    next_ = next;
    found_ = found;
    return found ? next : kNoUnit;
  }

  std::size_t from_ = kNoUnit;
  std::size_t next_ = 0;
  bool found_ = false;
};

// Where a tag's end was found from the quote that a scan met first outside quotes: scans that
// meet the same quote that way end at the same place.
using TagEndMemo = std::unordered_map<std::size_t, std::size_t>;

// A 1-based position one past this index must still fit a Position.
[[nodiscard]] inline bool FitsPosition(std::size_t end) {
  return end < kMaxPositionalLength;
}

// A start tag as the nested search reads it: "<", a run of name characters, then white space,
// ">" or "/". It ends at the first ">" or "/" outside quotes; after a "/", at the next ">".
struct StartTag {
  enum class Kind : std::uint8_t { kBroken, kSelfClosing, kOpen };
  Kind kind = Kind::kBroken;
  std::size_t name_end = 0;
  std::size_t tag_end = 0;    // the ">" or "/"
  std::size_t outer_end = 0;  // self-closing: one past its ">"
};

class TextFacts {
 public:
  explicit TextFacts(TextView text) : text_(text) {}

  [[nodiscard]] TextView text() const { return text_; }

  // The next "?>" at or after `from`.
  [[nodiscard]] std::size_t InstructionEnd(std::size_t from);
  // The next ">" at or after `from`.
  [[nodiscard]] std::size_t NextGreater(std::size_t from);
  // The first ">" or "/" at or after `from` outside apostrophe and double-quote pairs, with
  // the quoting state clear at `from`. `memo` may be null.
  [[nodiscard]] std::size_t TagEnd(std::size_t from, TagEndMemo* memo);
  // The start tag at `lt`, a "<" followed by a name character or white space.
  [[nodiscard]] StartTag ReadStartTag(std::size_t lt, TagEndMemo* memo);
  // The first "<" at or after `from` that opens something: one followed by "/", "?", a name
  // character or white space, or one at the end of the text. A "<" followed by anything else
  // ("<!", "<<") starts nothing.
  [[nodiscard]] std::size_t TagOpening(std::size_t from);

  // What the searches have read, to tell a scan whose work outgrows the text it covers.
  [[nodiscard]] std::uint64_t UnitsRead() const { return units_read_; }
  [[nodiscard]] std::size_t Reach() const { return reach_; }
  void StartCounting(std::size_t from) { reach_ = from; }
  void CountRead(std::size_t from, std::size_t hit, std::size_t limit) {
    const std::size_t end = hit == kNoUnit ? limit : hit;
    units_read_ += end - from;
    if (end > reach_) reach_ = end;
  }

 private:
  [[nodiscard]] std::size_t NextUnit(ForwardMemo& memo, std::size_t from, char16_t unit);

  TextView text_;
  ForwardMemo instruction_ends_;
  ForwardMemo greaters_;
  ForwardMemo apostrophes_;
  ForwardMemo quotes_;
  ForwardMemo tag_stops_;
  ForwardMemo tag_openings_;
  std::vector<std::size_t> checkpoints_;
  std::uint64_t units_read_ = 0;
  std::size_t reach_ = 0;
};

}  // namespace drumlo
