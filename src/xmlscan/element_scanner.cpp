#include "xmlscan/element_scanner.h"

#include <algorithm>

namespace drumlo {
namespace {

constexpr std::size_t kLinearNameLookup = 16;
// Work the literal search may always do, whatever stretch of text it has covered.
constexpr std::uint64_t kSlack = 4096;

// Indices of texts the scanner serves fit 32 bits.
std::uint32_t Index(std::size_t index) {
  return static_cast<std::uint32_t>(index);
}

bool EndsInstructionName(char16_t unit) {
  return unit == u'?' || IsWhite(unit);
}

}  // namespace

std::size_t FindNamedTag(TextView text, std::size_t from, JoinedText prefix,
                         bool (*ends_name)(char16_t)) {
  for (;;) {
    const std::size_t p = FindJoined(text, from, prefix);
    if (p == kNoUnit) return kNoUnit;
    const std::size_t name_end = p + prefix.size();
    if (name_end >= text.size()) return kNoUnit;
    if (ends_name(text[name_end])) return p;
    from = name_end + 1;
  }
}

// Buffers lent by the thread to one search at a time: fresh memory is dear, and nesting that
// was deep or broken for one search is so again for the next, inside the element just found.
// A memo lent again to the scanner that used it last keeps what it learned about its text.
// They hang from a plain pointer: where threads keep their variables in storage that may go
// before the variables' destructors run (MinGW), a thread-local object with a destructor of its
// own can crash the thread's end. ReleaseScannerBuffers gives them back.
namespace {

constexpr std::size_t kSpareMemos = 2;
constexpr std::size_t kSpareFrames = std::size_t{1} << 18;
thread_local ElementScanner::ThreadBuffers* thread_buffers = nullptr;
thread_local std::uint64_t scanners_made = 0;

}  // namespace

void ReleaseScannerBuffers() {
  delete thread_buffers;
  thread_buffers = nullptr;
}

ElementScanner::ThreadBuffers& ElementScanner::Buffers() {
  if (thread_buffers == nullptr) thread_buffers = new ThreadBuffers;
  return *thread_buffers;
}

std::vector<ElementScanner::Frame>& ElementScanner::SpareFrames() {
  return Buffers().frames;
}

ElementScanner::ElementScanner(TextView text, ScanMode mode)
    : text_(text), mode_(mode), serial_(++scanners_made), facts_(text) {}

ElementScanner::~ElementScanner() = default;

ElementScanner::CallBuffers::CallBuffers(ElementScanner& scanner) : scanner_(scanner) {
  scanner_.frames_.swap(SpareFrames());
}

ElementScanner::CallBuffers::~CallBuffers() {
  std::vector<Frame>& frames = scanner_.frames_;
  frames.clear();
  if (frames.capacity() > kSpareFrames) std::vector<Frame>().swap(frames);
  frames.swap(SpareFrames());
  std::vector<std::unique_ptr<NestingMemo>>& spare_memos = Buffers().memos;
  if (scanner_.memo_ && spare_memos.size() < kSpareMemos) {
    spare_memos.push_back(std::move(scanner_.memo_));
  }
  scanner_.memo_.reset();
  scanner_.use_memo_ = false;
}

// The spare memo this scanner used last, if any; kept there until taken.
NestingMemo* ElementScanner::OwnSpareMemo() const {
  for (const std::unique_ptr<NestingMemo>& memo : Buffers().memos) {
    if (memo->Owner() == serial_) return memo.get();
  }
  return nullptr;
}

NestingMemo& ElementScanner::Memo() {
  if (memo_) return *memo_;
  std::vector<std::unique_ptr<NestingMemo>>& spare_memos = Buffers().memos;
  const auto own = std::find_if(spare_memos.begin(), spare_memos.end(),
                                [&](const auto& memo) { return memo->Owner() == serial_; });
  if (own != spare_memos.end()) {
    memo_ = std::move(*own);
    spare_memos.erase(own);
    return *memo_;
  }
  if (spare_memos.empty()) {
    memo_ = std::make_unique<NestingMemo>();
  } else {
    memo_ = std::move(spare_memos.front());
    spare_memos.erase(spare_memos.begin());
  }
  memo_->Bind(facts_, serial_);
  return *memo_;
}

template <class Search>
auto ElementScanner::WithinBudget(std::size_t start, const Search& search) {
  const CallBuffers buffers(*this);
  const NestingMemo* own = OwnSpareMemo();
  const bool memo_first =
      mode_ == ScanMode::kMemo || (mode_ == ScanMode::kAuto && own && own->Covers(start));
  if (!memo_first) {
    use_memo_ = false;
    gave_up_ = false;
    start_ = start;
    steps_ = 0;
    wasted_steps_ = 0;
    facts_.StartCounting(start);
    units_at_start_ = facts_.UnitsRead();
    auto result = search();
    if (!gave_up_) return result;
    frames_.clear();
  }
  Memo().PrepareFor(start);
  use_memo_ = true;
  gave_up_ = false;
  return search();
}

Extent ElementScanner::FindElement(JoinedText start_prefix, JoinedText end_prefix,
                                   std::size_t from) {
  const std::size_t p = FindNamedTag(text_, from, start_prefix, EndsName);
  if (p == kNoUnit) return {};
  // The tag is read from its "<": a name given to the finder may hold quotes.
  const std::size_t tag_end = facts_.TagEnd(p, nullptr);
  if (tag_end == kNoUnit) return {};
  Closing closing;
  if (text_[tag_end] == u'/') {
    const std::size_t gt = facts_.NextGreater(tag_end + 1);
    if (gt == kNoUnit || !FitsPosition(gt + 1)) return {};
    closing = Closing{true, gt, gt + 1};
  } else {
    closing = WithinBudget(tag_end + 1, [&] {
      given_prefix_ = end_prefix;
      given_prefix_search_ = ForwardMemo();
      bottom_bound_ = text_.size();
      PushFrame(p, tag_end + 1, kGivenPrefix, false);
      return RunFrames().closing;
    });
  }
  if (!closing.found) return {};
  Extent x;
  x.tag_start = Index(p);
  x.name_end = Index(p + start_prefix.size());
  x.attr_end = Index(tag_end);
  x.content_start = Index(tag_end + 1);
  x.content_end = Index(closing.content_end);
  x.outer_end = Index(closing.outer_end);
  return x;
}

Extent ElementScanner::FindInstruction(JoinedText start_prefix, std::size_t from) {
  const std::size_t p = FindNamedTag(text_, from, start_prefix, EndsInstructionName);
  if (p == kNoUnit) return {};
  const std::size_t q = facts_.InstructionEnd(p + 2);
  if (q == kNoUnit || !FitsPosition(q + 2)) return {};
  Extent x;
  x.tag_start = Index(p);
  x.name_end = Index(p + start_prefix.size());
  x.attr_end = Index(q);
  x.content_start = x.content_end = x.outer_end = Index(q + 2);
  return x;
}

Extent ElementScanner::ExtentAt(std::size_t start, std::size_t bound) {
  return WithinBudget(start, [&] { return Resolve(start, bound); });
}

// What begins at the first tag-opening "<" at or after `start`, resolved as a nested element
// whose end tag must begin before `bound`.
Extent ElementScanner::Resolve(std::size_t start, std::size_t bound) {
  const std::size_t lt = facts_.TagOpening(start);
  if (lt == kNoUnit || lt + 1 >= text_.size()) return {};
  const char16_t next = text_[lt + 1];
  if (next == u'/') return {};
  Extent x;
  x.tag_start = Index(lt);
  if (next == u'?') {
    // Instructions are taken whole wherever they end.
    const std::size_t q = facts_.InstructionEnd(lt + 2);
    if (q == kNoUnit || !FitsPosition(q + 2)) return {};
    x.content_start = x.content_end = x.outer_end = Index(q + 2);
    return x;
  }
  const StartTag tag = facts_.ReadStartTag(lt, TagEnds());
  x.content_start = Index(tag.tag_end + 1);
  switch (tag.kind) {
    case StartTag::Kind::kBroken:
      return {};
    case StartTag::Kind::kSelfClosing:
      x.content_end = Index(tag.outer_end - 1);
      x.outer_end = Index(tag.outer_end);
      return x;
    case StartTag::Kind::kOpen:
      break;
  }
  Closing closing;
  if (use_memo_) {
    closing = memo_->Evaluate(lt, bound).closing;
  } else {
    bottom_bound_ = bound;
    PushFrame(lt, tag.tag_end + 1, EndSearchFor(text_.substr(lt + 1, tag.name_end - lt - 1)),
              false);
    closing = RunFrames().closing;
  }
  if (!closing.found) return {};
  x.content_end = Index(closing.content_end);
  x.outer_end = Index(closing.outer_end);
  return x;
}

void ElementScanner::PushFrame(std::size_t lt, std::size_t content_start, std::uint32_t end_search,
                               bool plain) {
  frames_.push_back(Frame{static_cast<std::uint32_t>(lt), static_cast<std::uint32_t>(content_start),
                          kUnset, end_search, kUnset, kUnset, static_cast<std::uint32_t>(steps_),
                          plain, false});
}

NestedAnswer ElementScanner::RunFrames() {
  for (;;) {
    if (OverBudget()) {
      gave_up_ = true;
      frames_.clear();
      return {};
    }
    ++steps_;
    Closing closing;
    if (!Step(closing)) continue;
    const Frame done = frames_.back();
    frames_.pop_back();
    NestedAnswer answer{closing};
    if (!closing.found && done.first_end != kUnset) {
      answer.first_candidate = done.first_candidate;
      answer.first_end = done.first_end;
    }
    if (frames_.empty()) return answer;
    if (!TakeNested(frames_.back(), done.lt, done.plain_tag, answer)) {
      // Its steps but the last looked inside it, and are taken again by the parent.
      wasted_steps_ += static_cast<std::uint32_t>(steps_ - done.steps_at_start) - 1;
    }
  }
}

bool ElementScanner::Step(Closing& answer) {
  Frame& frame = frames_.back();
  if (frame.candidate == kUnset || frame.candidate < frame.from) {
    if (frame.candidate != kUnset && frame.first_end == kUnset) frame.first_end = frame.from;
    frame.own_name_inside = false;
    const std::size_t e = NextEndTag(frame, BoundOfTop());
    if (e == kNoUnit) {
      answer = {};
      return true;
    }
    frame.candidate = static_cast<std::uint32_t>(e);
    if (frame.first_candidate == kUnset) frame.first_candidate = frame.candidate;
  }
  const std::size_t lt = NextLessThan(frame.from, frame.candidate);
  if (lt == kNoUnit) return Land(frame, answer);
  StepOnto(lt);
  return false;
}

// No "<" comes before the candidate: it is the end tag if white space and ">" follow. When the
// scan went on inside elements of its own name, the innermost of them ends there instead, and
// the scan goes on after it.
bool ElementScanner::Land(Frame& frame, Closing& answer) {
  const Closing closing = CloseAt(frame.candidate, PrefixOf(frame).size());
  if (frame.own_name_inside && closing.found) {
    frame.from = static_cast<std::uint32_t>(closing.outer_end);
    return false;
  }
  if (frame.first_end == kUnset) frame.first_end = frame.candidate;
  answer = closing;
  return true;
}

// The "<" at `lt`, before the top frame's candidate, which is an end tag or the finder's end
// prefix; so a unit follows it.
void ElementScanner::StepOnto(std::size_t lt) {
  Frame& frame = frames_.back();
  frame.from = static_cast<std::uint32_t>(lt + 1);  // passed over by its "<" alone, unless taken
  const char16_t next = text_[lt + 1];
  if (next == u'?') {
    const std::size_t end = TakenWhole(lt);
    if (end != kNoUnit) frame.from = static_cast<std::uint32_t>(end);
    return;
  }
  if (next == u'/') return;
  if (CharClass(next) == kOtherChar) {
    // A "<" that starts nothing stands for the next one that does. Before an end tag that one
    // is not after it, and is met anyway; the finder's own end prefix may be anything, though,
    // and past the candidate only what is taken whatever the bound counts.
    const JoinedText prefix = PrefixOf(frame);
    const bool end_tag_prefix = prefix.size() >= 2 && prefix[0] == u'<' && prefix[1] == u'/';
    if (end_tag_prefix) return;
    const std::size_t opening = facts_.TagOpening(lt + 1);
    if (opening == kNoUnit || opening < frame.candidate) return;
    const std::size_t end = TakenWhole(opening);
    if (end != kNoUnit) frame.from = static_cast<std::uint32_t>(end);
    return;
  }
  const StartTag tag = facts_.ReadStartTag(lt, TagEnds());
  if (tag.kind == StartTag::Kind::kSelfClosing) {
    frame.from = static_cast<std::uint32_t>(tag.outer_end);
  } else if (tag.kind == StartTag::Kind::kOpen) {
    StepIntoElement(lt, tag);
  }
}

// One past the end of the instruction or self-closing tag that opens at `lt`, or kNoUnit.
std::size_t ElementScanner::TakenWhole(std::size_t lt) {
  if (lt + 1 >= text_.size()) return kNoUnit;
  const char16_t next = text_[lt + 1];
  if (next == u'?') {
    const std::size_t q = facts_.InstructionEnd(lt + 2);
    return q != kNoUnit && FitsPosition(q + 2) ? q + 2 : kNoUnit;
  }
  if (next == u'/' || CharClass(next) == kOtherChar) return kNoUnit;
  const StartTag tag = facts_.ReadStartTag(lt, TagEnds());
  return tag.kind == StartTag::Kind::kSelfClosing ? tag.outer_end : kNoUnit;
}

void ElementScanner::StepIntoElement(std::size_t lt, const StartTag& tag) {
  Frame& frame = frames_.back();
  const TextView name = text_.substr(lt + 1, tag.name_end - lt - 1);
  const bool plain = FindUnit(text_.substr(0, tag.tag_end), lt + 1, u'<') == kNoUnit;
  // Its first candidate is the frame's own: the frame's scan and its own are one scan.
  if (plain && PrefixOf(frame) == JoinedText{u"</", name}) {
    frame.from = static_cast<std::uint32_t>(tag.tag_end + 1);
    frame.own_name_inside = true;
    return;
  }
  if (use_memo_) {
    const NestedAnswer nested = memo_->Evaluate(lt, std::size_t{frame.candidate} + 1);
    (void)TakeNested(frame, lt, plain, nested);
    return;
  }
  PushFrame(lt, tag.tag_end + 1, EndSearchFor(name), plain);
}

// Applies a nested element's answer to the frame that met it; false when the frame must scan
// the nested element's inside again.
bool ElementScanner::TakeNested(Frame& frame, std::size_t lt, bool plain,
                                const NestedAnswer& nested) {
  if (nested.closing.found) {
    frame.from = static_cast<std::uint32_t>(nested.closing.outer_end);
    return true;
  }
  if (plain && nested.first_end != kNoUnit && nested.first_candidate == frame.candidate) {
    frame.from = static_cast<std::uint32_t>(nested.first_end);  // its first scan, made again
    return true;
  }
  frame.from = static_cast<std::uint32_t>(lt + 1);
  return false;
}

bool ElementScanner::OverBudget() const {
  if (mode_ == ScanMode::kLiteral || use_memo_) return false;
  const std::uint64_t covered = facts_.Reach() - start_ + 1;
  return wasted_steps_ > covered / 32 + kSlack ||
         facts_.UnitsRead() - units_at_start_ > 8 * covered + kSlack;
}

std::size_t ElementScanner::BoundOfTop() const {
  return frames_.size() < 2 ? bottom_bound_
                            : std::size_t{frames_[frames_.size() - 2].candidate} + 1;
}

JoinedText ElementScanner::PrefixOf(const Frame& frame) const {
  return frame.end_search == kGivenPrefix ? given_prefix_ : end_searches_[frame.end_search].prefix;
}

// The first end tag of the frame's prefix at or after its `from` that begins before `bound`.
std::size_t ElementScanner::NextEndTag(const Frame& frame, std::size_t bound) {
  const JoinedText prefix = PrefixOf(frame);
  ForwardMemo& memo = frame.end_search == kGivenPrefix ? given_prefix_search_
                                                       : end_searches_[frame.end_search].memo;
  return memo.Next(frame.from, bound, [&](std::size_t a, std::size_t b) {
    // An occurrence of an empty prefix is where the search starts.
    const std::size_t window =
        std::min(text_.size(), b - 1 + std::max<std::size_t>(prefix.size(), 1));
    const std::size_t hit = FindJoined(text_.substr(0, window), a, prefix);
    facts_.CountRead(a, hit, window);
    return hit;
  });
}

std::size_t ElementScanner::NextLessThan(std::size_t from, std::size_t before) {
  const std::size_t hit = FindUnit(text_.substr(0, before), from, u'<');
  facts_.CountRead(from, hit, before);
  return hit;
}

std::uint32_t ElementScanner::EndSearchFor(TextView name) {
  if (end_searches_.size() <= kLinearNameLookup) {
    for (std::size_t id = 0; id < end_searches_.size(); ++id) {
      if (end_searches_[id].prefix.tail == name) return static_cast<std::uint32_t>(id);
    }
  } else {
    const auto known = end_search_ids_.find(Text(name));
    if (known != end_search_ids_.end()) return known->second;
  }
  const auto id = static_cast<std::uint32_t>(end_searches_.size());
  end_searches_.push_back(EndSearch{JoinedText{u"</", name}, ForwardMemo{}});
  if (end_searches_.size() == kLinearNameLookup + 1) {
    for (std::size_t i = 0; i < end_searches_.size(); ++i) {
      end_search_ids_.emplace(Text(end_searches_[i].prefix.tail), static_cast<std::uint32_t>(i));
    }
  } else if (end_searches_.size() > kLinearNameLookup + 1) {
    end_search_ids_.emplace(Text(name), id);
  }
  return id;
}

// The candidate end tag closes the element when white space and then ">" follow its prefix.
Closing ElementScanner::CloseAt(std::size_t end_tag, std::size_t prefix_length) const {
  std::size_t q = end_tag + prefix_length;
  while (q < text_.size() && IsWhite(text_[q]))
    ++q;
  if (q >= text_.size() || text_[q] != u'>' || !FitsPosition(q + 1)) return {};
  return Closing{true, end_tag, q + 1};
}

}  // namespace drumlo
