// The nested-element search for nesting that a literal search would scan again and again: an
// element that does not close in time makes its parent rescan its inside, so deep or broken
// nesting costs quadratic time or worse that way. Here every "<" of the stretch searched is read
// once; each element's own scan is kept where it stopped, with the first end tag that could end
// it; and a tree over those end positions finds the next nested element that can still close in
// time, passing over all that cannot in one step. Answers are those of the literal search, and
// what is learned stays true for later searches in the same text. Indices are 0-based.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/text.h"
#include "xmlscan/key_tree.h"
#include "xmlscan/name_trie.h"
#include "xmlscan/text_facts.h"
#include "xmlscan/unit_search.h"

namespace drumlo {

// How the scan of an element's content ended: at its end tag, or not in time.
struct Closing {
  bool found = false;
  std::size_t content_end = 0;  // the "<" of the end tag
  std::size_t outer_end = 0;    // one past its ">"
};

// A nested element's answer, and where its own first scan ended. A parent that passes over it
// by its "<" alone and scans on with the candidate end tag that began that first scan makes the
// same scan, and ends where it ended: on the candidate, or past it at first_end.
struct NestedAnswer {
  Closing closing;
  std::size_t first_candidate = kNoUnit;  // kNoUnit: no first scan to go by
  std::size_t first_end = kNoUnit;
};

class NestingMemo {
 public:
  // Starts over on the text of `facts` for the scanner numbered `owner`, keeping only the
  // buffers (all but huge ones).
  void Bind(TextFacts& facts, std::uint64_t owner);
  [[nodiscard]] std::uint64_t Owner() const { return owner_; }

  // True when what was learned can serve a search that starts at `start`.
  [[nodiscard]] bool Covers(std::size_t start) const { return start >= base_ && start < frontier_; }
  // Keeps what was learned if it covers `start`, and forgets it otherwise.
  void PrepareFor(std::size_t start);
  // The element whose start tag, one with content, opens at `lt`: where it ends, if its end
  // tag begins before `bound`.
  [[nodiscard]] NestedAnswer Evaluate(std::size_t lt, std::size_t bound);
  // Where tags end, kept with the rest.
  [[nodiscard]] TagEndMemo* TagEnds() { return &tag_ends_; }

 private:
  using Index = std::uint32_t;
  static constexpr Index kNone = 0xFFFFFFFFu;

  // A "<" that a scan may take as a whole: a self-closing tag or an instruction, taken
  // whatever the bound, or an element with content.
  enum class LeafKind : std::uint8_t { kTaken, kElement };
  struct Leaf {
    Index at;
    Index payload;  // kTaken: one past its end; kElement: the element's number
    LeafKind kind;
  };

  enum class State : std::uint8_t { kWaiting, kRunning, kClosed, kBroken };
  // The scan of one element's content, kept between the searches that need it.
  struct Element {
    Index leaf;
    Index end_list;  // the end tags its end prefix matches
    Index name_length;
    Index from;          // where the scan goes on
    Index cursor;        // the first leaf at or after `from`, or kNone until needed
    Index candidate;     // exact: the first end tag at or after `from`; else none begins before it
    Index candidate_at;  // its place in the end list (or where the search there goes on)
    Index outer_end;     // closed: one past the end tag
    Index after;         // closed: the first leaf at or after outer_end
    // Its first scan, from its first leaf with its first candidate: how it ended, on that
    // candidate (first_landed) or past it, at first_end_from. first_end_cursor is kNone until
    // it has ended.
    Index first_candidate;
    Index first_end_from;
    Index first_end_cursor;
    State state;
    bool exact;
    bool first_landed;
    bool first_from_next_leaf;  // its first leaf is the one after its own
  };
  // An element being scanned, its end tag due before `bound`.
  struct Frame {
    Index element;
    Index bound;
    Index child_leaf;  // the nested element being scanned for it
  };

  void Reset(std::size_t start);
  void ClassifyUpTo(std::size_t target);
  void ReserveFor(std::size_t from, std::size_t stop);
  void Classify(std::size_t lt);
  void AddEndTag(std::size_t lt);
  void AddElement(std::size_t lt, const StartTag& tag);
  void AddLeaf(std::size_t at, Index payload, LeafKind kind);
  [[nodiscard]] bool Complete() const { return frontier_ >= text_.size(); }
  [[nodiscard]] Index FirstLeafFrom(std::size_t at) const;

  [[nodiscard]] bool Decided(const Element& element, Index bound, Closing& answer) const;
  [[nodiscard]] Closing Run();
  [[nodiscard]] bool FindCandidate(Index number, Index bound);
  // Moves the top frame on; true when it has finished, with its answer in `answer`.
  [[nodiscard]] bool Advance(Closing& answer);
  [[nodiscard]] bool CloseAtCandidate(Closing& answer);
  [[nodiscard]] bool Finish(State state, Closing& answer);
  void PassOver(const Frame& parent, const Element& nested);
  void Push(Index element, Index bound);

  TextFacts* facts_ = nullptr;
  std::uint64_t owner_ = 0;
  TextView text_;
  std::size_t base_ = 0;      // where reading began
  std::size_t frontier_ = 0;  // every "<" in [base_, frontier_) has been read
  std::vector<Leaf> leaves_;  // in text order
  KeyTree keys_;              // per leaf: the least end position it could close at
  std::vector<Element> elements_;
  NameTrie names_;
  std::vector<Index> end_list_of_node_;
  std::vector<NameTrie::Node> nodes_with_lists_;
  std::vector<std::vector<Index>> end_lists_;  // the first end_lists_used_ are in use
  std::size_t end_lists_used_ = 0;
  std::vector<Frame> stack_;
  TagEndMemo tag_ends_;
};

}  // namespace drumlo
