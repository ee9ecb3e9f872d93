// The engine behind the element finders. It follows the nested-element search exactly. Nesting
// is first searched literally, with an explicit stack instead of recursion and two shortcuts
// that keep deep nesting linear and small: an element nested in one of its own name shares its
// candidate end tag, so the outer scan simply goes on inside it; and an element that does not
// close in time is scanned again by its parent only as far as its own first scan went, which
// ended where the parent's will. When the literal search still starts to cost more than the
// text it covers (elements that do not close in time make their parents rescan their insides;
// deep nesting of many names repeats the end-tag searches), the search starts over with a
// NestingMemo, whose cost stays near linear. Indices are 0-based.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "common/text.h"
#include "xmlscan/extent.h"
#include "xmlscan/nesting_memo.h"
#include "xmlscan/scan_mode.h"
#include "xmlscan/scan_primitives.h"
#include "xmlscan/text_facts.h"
#include "xmlscan/unit_search.h"

namespace drumlo {

// True for the units that end a name in a start tag: white space, ">" and "/".
[[nodiscard]] inline bool EndsName(char16_t unit) {
  return unit == u'>' || unit == u'/' || IsWhite(unit);
}

// The first occurrence of `prefix` at or after `from` that is followed by a unit ending the
// name ("Row" must not match "RowSet"); kNoUnit when there is none.
[[nodiscard]] std::size_t FindNamedTag(TextView text, std::size_t from, JoinedText prefix,
                                       bool (*ends_name)(char16_t));

// One scanner serves one text; what it learns stays valid for further searches in it.
class ElementScanner {
 public:
  explicit ElementScanner(TextView text, ScanMode mode = ScanMode::kAuto);
  ElementScanner(const ElementScanner&) = delete;
  ElementScanner& operator=(const ElementScanner&) = delete;
  ~ElementScanner();

  [[nodiscard]] TextView text() const { return text_; }

  // The next element at or after `from` whose start tag begins with `start_prefix` followed
  // by white space, ">" or "/"; its end tag begins with `end_prefix`.
  [[nodiscard]] Extent FindElement(JoinedText start_prefix, JoinedText end_prefix,
                                   std::size_t from);
  // The next processing instruction at or after `from` opening with `start_prefix`.
  [[nodiscard]] Extent FindInstruction(JoinedText start_prefix, std::size_t from);
  // The element or instruction at the first tag-opening "<" at or after `start`; an element
  // counts only when its end tag begins before `bound`. Name and attribute ends are not set.
  [[nodiscard]] Extent ExtentAt(std::size_t start, std::size_t bound);

 private:
  static constexpr std::uint32_t kUnset = 0xFFFFFFFFu;
  static constexpr std::uint32_t kGivenPrefix = 0xFFFFFFFFu;

  // An element whose content is being scanned for its end tag. Positions fit 32 bits: the
  // scanner serves texts whose positions fit a Position.
  struct Frame {
    std::uint32_t lt;
    std::uint32_t from;             // where the next "<" is looked for
    std::uint32_t candidate;        // its candidate end tag; kUnset until looked for
    std::uint32_t end_search;       // kGivenPrefix: the end prefix the finder was given
    std::uint32_t first_candidate;  // the candidate its first scan began with
    std::uint32_t first_end;        // where that scan ended (on it, or past it); kUnset till then
    std::uint32_t steps_at_start;   // counted modulo 2^32
    bool plain_tag;                 // no "<" inside its start tag
    bool own_name_inside;           // this scan has gone on into elements of its own name
  };
  // Where an end prefix was last looked for; one per element name.
  struct EndSearch {
    JoinedText prefix;
    ForwardMemo memo;
  };

  // Runs `search` literally, and again with the memo when the literal search gives up.
  template <class Search>
  [[nodiscard]] auto WithinBudget(std::size_t start, const Search& search);
  [[nodiscard]] Extent Resolve(std::size_t start, std::size_t bound);
  void PushFrame(std::size_t lt, std::size_t content_start, std::uint32_t end_search, bool plain);
  // Scans the elements on the stack until the one at its bottom is decided.
  [[nodiscard]] NestedAnswer RunFrames();
  // Moves the top frame on; true when it has finished, with its answer in `answer`.
  [[nodiscard]] bool Step(Closing& answer);
  [[nodiscard]] bool Land(Frame& frame, Closing& answer);
  void StepOnto(std::size_t lt);
  void StepIntoElement(std::size_t lt, const StartTag& tag);
  [[nodiscard]] std::size_t TakenWhole(std::size_t lt);
  [[nodiscard]] bool TakeNested(Frame& frame, std::size_t lt, bool plain,
                                const NestedAnswer& nested);
  [[nodiscard]] bool OverBudget() const;
  [[nodiscard]] std::size_t BoundOfTop() const;
  [[nodiscard]] JoinedText PrefixOf(const Frame& frame) const;
  [[nodiscard]] std::size_t NextEndTag(const Frame& frame, std::size_t bound);
  [[nodiscard]] std::size_t NextLessThan(std::size_t from, std::size_t before);
  [[nodiscard]] std::uint32_t EndSearchFor(TextView name);
  [[nodiscard]] Closing CloseAt(std::size_t end_tag, std::size_t prefix_length) const;
  // Lends the thread's buffers to the scanner for one search.
  class CallBuffers {
   public:
    explicit CallBuffers(ElementScanner& scanner);
    CallBuffers(const CallBuffers&) = delete;
    CallBuffers& operator=(const CallBuffers&) = delete;
    ~CallBuffers();

   private:
    ElementScanner& scanner_;
  };
  [[nodiscard]] NestingMemo& Memo();
  [[nodiscard]] NestingMemo* OwnSpareMemo() const;
  [[nodiscard]] static std::vector<Frame>& SpareFrames();

 public:
  // What a thread lends to its searches, one at a time.
  struct ThreadBuffers {
    std::vector<std::unique_ptr<NestingMemo>> memos;
    std::vector<Frame> frames;
  };

 private:
  [[nodiscard]] static ThreadBuffers& Buffers();
  [[nodiscard]] TagEndMemo* TagEnds() { return use_memo_ ? memo_->TagEnds() : nullptr; }

  TextView text_;
  ScanMode mode_;
  std::uint64_t serial_;  // tells the memos it used apart from those of other scanners
  TextFacts facts_;
  std::vector<Frame> frames_;
  std::size_t bottom_bound_ = 0;  // the end tag of the element at the bottom must begin before
  JoinedText given_prefix_;
  ForwardMemo given_prefix_search_;
  std::vector<EndSearch> end_searches_;
  std::unordered_map<Text, std::uint32_t> end_search_ids_;  // only once there are many names
  std::unique_ptr<NestingMemo> memo_;
  bool use_memo_ = false;

  // The literal search's account: it gives up once its work outgrows the text it has covered.
  bool gave_up_ = false;
  std::size_t start_ = 0;
  std::uint64_t steps_ = 0;
  std::uint64_t wasted_steps_ = 0;  // steps inside elements scanned again after them
  std::uint64_t units_at_start_ = 0;
};

}  // namespace drumlo
