#include "xmlscan/nesting_memo.h"

#include <algorithm>

#include "xmlscan/scan_primitives.h"
#include "xmlscan/unit_search.h"

namespace drumlo {
namespace {

// The first index at or after `from_index` whose entry is at least `value`: galloping, since
// a scan usually finds its next end tag close to the last one.
std::uint32_t FirstAtLeast(const std::vector<std::uint32_t>& list, std::uint32_t from_index,
                           std::uint32_t value) {
  std::size_t low = from_index;
  if (low >= list.size() || list[low] >= value) return static_cast<std::uint32_t>(low);
  std::size_t step = 1;
  std::size_t high = low + 1;
  while (high < list.size() && list[high] < value) {
    low = high;
    step *= 2;
    high = low + step;
  }
  high = std::min(high, list.size());
  const auto at = std::lower_bound(list.begin() + static_cast<std::ptrdiff_t>(low) + 1,
                                   list.begin() + static_cast<std::ptrdiff_t>(high), value);
  return static_cast<std::uint32_t>(at - list.begin());
}

// Stretches longer than this are counted before they are read.
constexpr std::size_t kCountedStretch = 4096;

// Buffers of this many entries at most are kept for another text.
constexpr std::size_t kKeptCapacity = std::size_t{1} << 20;

template <class T>
void Trim(std::vector<T>& items) {
  if (items.capacity() > kKeptCapacity) std::vector<T>().swap(items);
}

}  // namespace

void NestingMemo::Bind(TextFacts& facts, std::uint64_t owner) {
  facts_ = &facts;
  text_ = facts.text();
  owner_ = owner;
  Trim(leaves_);
  Trim(elements_);
  Trim(stack_);
  if (keys_.Capacity() > kKeptCapacity) keys_ = KeyTree();
  Reset(0);
  for (std::vector<Index>& list : end_lists_)
    Trim(list);
  if (end_lists_.size() > kKeptCapacity) end_lists_.clear();
}

void NestingMemo::PrepareFor(std::size_t start) {
  if (!Covers(start)) Reset(start);
}

void NestingMemo::Reset(std::size_t start) {
  base_ = start;
  frontier_ = start;
  leaves_.clear();
  elements_.clear();
  // The trie keeps its names; only which of them have end lists is forgotten.
  for (const NameTrie::Node node : nodes_with_lists_)
    end_list_of_node_[node] = kNone;
  nodes_with_lists_.clear();
  for (std::size_t list = 0; list < end_lists_used_; ++list)
    end_lists_[list].clear();  // their buffers are kept for the next search
  end_lists_used_ = 0;
  stack_.clear();
  keys_.Clear();
  if (names_.NodeCount() > kKeptCapacity) {
    names_.Clear();
    end_list_of_node_.clear();
  }
  // Clearing a hash table costs all its buckets: a large one is replaced instead.
  if (tag_ends_.bucket_count() > 1024) {
    TagEndMemo().swap(tag_ends_);
  } else {
    tag_ends_.clear();
  }
}

void NestingMemo::ClassifyUpTo(std::size_t target) {
  const std::size_t stop = std::min(target, text_.size());
  if (stop > frontier_ + kCountedStretch) ReserveFor(frontier_, stop);
  while (frontier_ < stop) {
    const std::size_t lt = FindUnit(text_.substr(0, stop), frontier_, u'<');
    if (lt == kNoUnit) {
      frontier_ = stop;
      return;
    }
    Classify(lt);
    frontier_ = lt + 1;
  }
}

// Room for every "<" of a long stretch about to be read, so that the arrays grow once: fresh
// memory is dear, and growing by doubling copies and touches twice as much.
void NestingMemo::ReserveFor(std::size_t from, std::size_t stop) {
  std::size_t count = 0;
  for (std::size_t lt = FindUnit(text_.substr(0, stop), from, u'<'); lt != kNoUnit;
       lt = FindUnit(text_.substr(0, stop), lt + 1, u'<')) {
    ++count;
  }
  leaves_.reserve(leaves_.size() + count);
  elements_.reserve(elements_.size() + count);
  keys_.Reserve(keys_.Size() + count);
}

void NestingMemo::Classify(std::size_t lt) {
  if (lt + 1 >= text_.size()) return;
  const char16_t next = text_[lt + 1];
  if (next == u'/') {
    AddEndTag(lt);
    return;
  }
  if (next == u'?') {
    const std::size_t q = facts_->InstructionEnd(lt + 2);
    if (q != kNoUnit && FitsPosition(q + 2)) {
      AddLeaf(lt, static_cast<Index>(q + 2), LeafKind::kTaken);
    }
    return;
  }
  if (CharClass(next) == kOtherChar) return;  // "<!" and the like start nothing
  const StartTag tag = facts_->ReadStartTag(lt, &tag_ends_);
  switch (tag.kind) {
    case StartTag::Kind::kBroken:
      return;
    case StartTag::Kind::kSelfClosing:
      AddLeaf(lt, static_cast<Index>(tag.outer_end), LeafKind::kTaken);
      return;
    case StartTag::Kind::kOpen:
      AddElement(lt, tag);
      return;
  }
}

// An end tag belongs to the end list of every element name that it begins with: "</a11>" may
// end an "a1" as well as an "a11".
void NestingMemo::AddEndTag(std::size_t lt) {
  names_.Walk(text_, lt + 2, [&](NameTrie::Node node) {
    if (node < end_list_of_node_.size() && end_list_of_node_[node] != kNone) {
      end_lists_[end_list_of_node_[node]].push_back(static_cast<Index>(lt));
    }
  });
}

void NestingMemo::AddElement(std::size_t lt, const StartTag& tag) {
  const TextView name = text_.substr(lt + 1, tag.name_end - lt - 1);
  const NameTrie::Node node = names_.Add(name);
  if (end_list_of_node_.size() < names_.NodeCount()) {
    end_list_of_node_.resize(names_.NodeCount(), kNone);
  }
  if (end_list_of_node_[node] == kNone) {
    end_list_of_node_[node] = static_cast<Index>(end_lists_used_++);
    nodes_with_lists_.push_back(node);
    if (end_lists_.size() < end_lists_used_) end_lists_.emplace_back();
  }
  Element element{};
  element.leaf = static_cast<Index>(leaves_.size());
  element.end_list = end_list_of_node_[node];
  element.name_length = static_cast<Index>(name.size());
  element.from = static_cast<Index>(tag.tag_end + 1);
  element.cursor = static_cast<Index>(leaves_.size() + 1);  // moved past any "<" inside the tag
  element.first_candidate = kNone;
  element.first_end_cursor = kNone;
  element.state = State::kWaiting;
  elements_.push_back(element);
  AddLeaf(lt, static_cast<Index>(elements_.size() - 1), LeafKind::kElement);
}

void NestingMemo::AddLeaf(std::size_t at, Index payload, LeafKind kind) {
  leaves_.push_back(Leaf{static_cast<Index>(at), payload, kind});
  keys_.Append(0);  // to be looked at by the first scan that reaches it
}

NestingMemo::Index NestingMemo::FirstLeafFrom(std::size_t at) const {
  const auto leaf = std::lower_bound(leaves_.begin(), leaves_.end(), at,
                                     [](const Leaf& l, std::size_t pos) { return l.at < pos; });
  return static_cast<Index>(leaf - leaves_.begin());
}

NestedAnswer NestingMemo::Evaluate(std::size_t lt, std::size_t bound) {
  ClassifyUpTo(lt + 1);
  const Index leaf = FirstLeafFrom(lt);
  if (leaf >= leaves_.size() || leaves_[leaf].at != lt ||
      leaves_[leaf].kind != LeafKind::kElement) {
    return {};  // not an element with content: the caller reads the tag the same way
  }
  const Index number = leaves_[leaf].payload;
  const auto limit = static_cast<Index>(std::min<std::size_t>(bound, kNone - 1));
  NestedAnswer answer;
  if (!Decided(elements_[number], limit, answer.closing)) {
    Push(number, limit);
    answer.closing = Run();
  }
  const Element& element = elements_[number];
  if (!answer.closing.found && element.first_end_cursor != kNone && element.first_from_next_leaf) {
    answer.first_candidate = element.first_candidate;
    answer.first_end = element.first_landed ? element.first_candidate : element.first_end_from;
  }
  return answer;
}

// Scans the elements on the stack until the one at its bottom is decided.
Closing NestingMemo::Run() {
  Closing answer;
  for (;;) {
    if (!Advance(answer)) continue;
    const Frame done = stack_.back();
    stack_.pop_back();
    if (stack_.empty()) return answer;
    Frame& parent = stack_.back();
    Element& scanning = elements_[parent.element];
    if (answer.found) {
      scanning.from = static_cast<Index>(answer.outer_end);
      scanning.cursor = elements_[done.element].after;
    } else {
      PassOver(parent, elements_[done.element]);
    }
  }
}

// A nested element that does not close in time is passed over by its "<" alone, and what lies
// inside it is looked at one by one. When the scan goes on from the nested element's first leaf
// with the candidate that began the nested element's own first scan, it is that scan over
// again, and it ends where that scan ended.
void NestingMemo::PassOver(const Frame& parent, const Element& nested) {
  Element& scanning = elements_[parent.element];
  scanning.from = leaves_[parent.child_leaf].at + 1;
  scanning.cursor = parent.child_leaf + 1;
  if (nested.first_end_cursor == kNone || !nested.first_from_next_leaf ||
      nested.first_candidate != scanning.candidate || !scanning.exact) {
    return;
  }
  scanning.from = nested.first_landed ? scanning.candidate : nested.first_end_from;
  scanning.cursor = nested.first_end_cursor;
}

// An element known to close, known never to close, or known to close too late.
bool NestingMemo::Decided(const Element& element, Index bound, Closing& answer) const {
  answer = {};
  switch (element.state) {
    case State::kClosed:
      if (element.candidate < bound) {
        answer = Closing{true, element.candidate, element.outer_end};
      }
      return true;
    case State::kWaiting:
      return element.candidate >= bound;
    case State::kRunning:
    case State::kBroken:
      return true;
  }
  return true;
}

void NestingMemo::Push(Index element, Index bound) {
  elements_[element].state = State::kRunning;
  stack_.push_back(Frame{element, bound, kNone});
}

// The first end tag at or after the element's `from`. When there is none before `bound` among
// the tags read so far, more text is read up to `bound`; false when no end tag follows at all.
bool NestingMemo::FindCandidate(Index number, Index bound) {
  Index at = FirstAtLeast(end_lists_[elements_[number].end_list], elements_[number].candidate_at,
                          elements_[number].from);
  if (at == end_lists_[elements_[number].end_list].size() && frontier_ < bound && !Complete()) {
    ClassifyUpTo(bound);  // may add elements and end lists
    at = FirstAtLeast(end_lists_[elements_[number].end_list], at, elements_[number].from);
  }
  Element& element = elements_[number];
  const std::vector<Index>& ends = end_lists_[element.end_list];
  element.candidate_at = at;
  if (at < ends.size()) {
    element.candidate = ends[at];
    element.exact = true;
    return true;
  }
  if (Complete()) return false;
  element.candidate = static_cast<Index>(std::max<std::size_t>(frontier_, element.from));
  element.exact = false;
  return true;
}

bool NestingMemo::Advance(Closing& answer) {
  const Frame frame = stack_.back();
  const Element& known = elements_[frame.element];
  if (!known.exact || known.candidate < known.from) {
    if (known.exact && known.first_candidate != kNone && known.first_end_cursor == kNone) {
      // The first scan went past its candidate: where it went is noted for the parents.
      Element& element = elements_[frame.element];
      element.first_end_from = element.from;
      element.first_end_cursor =
          element.cursor == kNone ? FirstLeafFrom(element.from) : element.cursor;
    }
    if (!FindCandidate(frame.element, frame.bound)) return Finish(State::kBroken, answer);
  }
  Element& element = elements_[frame.element];
  if (element.candidate >= frame.bound) return Finish(State::kWaiting, answer);
  if (element.cursor == kNone) element.cursor = FirstLeafFrom(element.from);
  while (element.cursor < leaves_.size() && leaves_[element.cursor].at < element.from)
    ++element.cursor;
  if (element.first_candidate == kNone) {
    element.first_candidate = element.candidate;
    element.first_from_next_leaf = element.cursor == element.leaf + 1;
  }
  const bool none_before =
      element.cursor >= leaves_.size() || leaves_[element.cursor].at >= element.candidate;
  const std::size_t next =
      none_before ? KeyTree::kNone : keys_.FirstAtMost(element.cursor, element.candidate);
  if (next == KeyTree::kNone || leaves_[next].at >= element.candidate) {
    return CloseAtCandidate(answer);
  }
  const Leaf& leaf = leaves_[next];
  if (leaf.kind == LeafKind::kTaken) {
    element.from = leaf.payload;
    element.cursor = kNone;
    return false;
  }
  const Element& nested = elements_[leaf.payload];
  if (nested.state == State::kClosed) {  // its key says it closes in time
    element.from = nested.outer_end;
    element.cursor = nested.after;
    return false;
  }
  stack_.back().child_leaf = static_cast<Index>(next);
  Push(leaf.payload, element.candidate + 1);
  return false;
}

// No nested element comes first: the candidate is the end tag, if ">" follows it after white
// space. The text between the candidate and that ">" holds no "<".
bool NestingMemo::CloseAtCandidate(Closing& answer) {
  Element& element = elements_[stack_.back().element];
  element.after = FirstLeafFrom(std::size_t{element.candidate} + 1);
  if (element.first_end_cursor == kNone) {
    element.first_landed = true;
    element.first_end_cursor = element.after;
  }
  std::size_t q = std::size_t{element.candidate} + 2 + element.name_length;
  while (q < text_.size() && IsWhite(text_[q]))
    ++q;
  if (q >= text_.size() || text_[q] != u'>' || !FitsPosition(q + 1)) {
    return Finish(State::kBroken, answer);
  }
  element.outer_end = static_cast<Index>(q + 1);
  return Finish(State::kClosed, answer);
}

bool NestingMemo::Finish(State state, Closing& answer) {
  Element& element = elements_[stack_.back().element];
  element.state = state;
  answer = {};
  KeyTree::Key key = element.candidate;
  if (state == State::kBroken) key = KeyTree::kMaxKey;
  if (state == State::kClosed) answer = Closing{true, element.candidate, element.outer_end};
  keys_.Set(element.leaf, key);
  return true;
}

}  // namespace drumlo
