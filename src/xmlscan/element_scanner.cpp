#include "xmlscan/element_scanner.h"

#include <algorithm>

#include "xmlscan/scan_primitives.h"

namespace drumlo {
namespace {

constexpr std::size_t kUnbounded = static_cast<std::size_t>(-1);
constexpr std::size_t kLinearPrefixLookup = 16;

// A 1-based position one past this index must still fit a Position.
bool Addressable(std::size_t outer_end) {
  return outer_end < kMaxPositionalLength;
}

bool EndsInstructionName(char16_t unit) {
  return unit == u'?' || IsWhite(unit);
}

Text Joined(JoinedText text) {
  Text joined(text.head);
  joined.append(text.tail);
  return joined;
}

}  // namespace

// The first occurrence of `prefix` at or after `from` that is followed by a unit ending the
// name ("Row" must not match "RowSet"); kNoUnit when there is none.
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

ElementScanner::Scratch& ElementScanner::ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

ElementScanner::ElementScanner(TextView text)
    : text_(text),
      scratch_(ThreadScratch().in_use ? local_scratch_ : ThreadScratch()),
      frames_(scratch_.frames),
      end_prefixes_(scratch_.end_prefixes) {
  scratch_.in_use = true;
  frames_.clear();
  end_prefixes_.clear();
}

ElementScanner::~ElementScanner() {
  // Huge stacks from deep nesting are not kept for later searches.
  if (frames_.capacity() > 4096) std::vector<Frame>().swap(frames_);
  scratch_.in_use = false;
}

Span ElementScanner::FindElement(JoinedText start_prefix, JoinedText end_prefix, std::size_t from) {
  const std::size_t p = FindNamedTag(text_, from, start_prefix, EndsName);
  if (p == kNoUnit) return {};
  const std::size_t name_end = p + start_prefix.size();
  const std::size_t tag_end = TagEnd(p);
  if (tag_end == kNoUnit) return {};
  Span span;
  if (text_[tag_end] == u'/') {
    const std::size_t gt = FindUnit(text_, tag_end + 1, u'>');
    if (gt == kNoUnit || !Addressable(gt + 1)) return {};
    span = Span{p, tag_end + 1, gt, gt + 1};
  } else {
    PushFrame(p, tag_end + 1, kUnbounded, InternEndPrefix(end_prefix));
    span = RunFrames();
    if (!span.Found()) return {};
  }
  span.name_end = name_end;
  span.attr_end = tag_end;
  return span;
}

Span ElementScanner::FindInstruction(JoinedText start_prefix, std::size_t from) {
  const std::size_t p = FindNamedTag(text_, from, start_prefix, EndsInstructionName);
  if (p == kNoUnit) return {};
  const std::size_t name_end = p + start_prefix.size();
  const std::size_t q = FindText(text_, p + 2, u"?>");
  if (q == kNoUnit || !Addressable(q + 2)) return {};
  return Span{p, q + 2, q + 2, q + 2, name_end, q};
}

Span ElementScanner::ExtentAt(std::size_t start, std::size_t bound) {
  Span span;
  std::size_t decisive = 0;
  if (Resolve(start, bound, span, decisive) == Resolved::kDone) return span;
  return RunFrames();
}

// Follows the "<" at or after `at`: a start tag that cannot begin an element is passed over;
// an end tag or a broken tag gives not found. An element with content is pushed as a frame.
// `decisive` receives the "<" the answer was decided at.
ElementScanner::Resolved ElementScanner::Resolve(std::size_t at, std::size_t bound, Span& out,
                                                 std::size_t& decisive) {
  const std::size_t n = text_.size();
  out = Span{};
  std::size_t lt = FindUnit(text_, at, u'<');
  for (;;) {
    decisive = lt;
    if (lt == kNoUnit || lt + 1 >= n) return Resolved::kDone;
    const char16_t next = text_[lt + 1];
    if (next == u'/') return Resolved::kDone;
    if (next == u'?') {
      // Instructions are taken whole wherever they end.
      const std::size_t q = FindText(text_, lt + 2, u"?>");
      if (q != kNoUnit && Addressable(q + 2)) out = Span{lt, q + 2, q + 2, q + 2};
      return Resolved::kDone;
    }
    if (CharClass(next) != kOtherChar) break;
    lt = FindUnit(text_, lt + 1, u'<');  // "<!" and the like start nothing
  }
  const TagShape shape = ShapeOfTag(lt);
  switch (shape.kind) {
    case TagKind::kBroken:
      return Resolved::kDone;
    case TagKind::kSelfClosing:
      out = Span{lt, shape.content_start, shape.content_end, shape.content_end + 1};
      return Resolved::kDone;
    case TagKind::kOpen:
      break;
  }
  PushFrame(lt, shape.content_start, bound, shape.end_prefix);
  return Resolved::kPushed;
}

ElementScanner::TagShape ElementScanner::ShapeOfTag(std::size_t at) {
  if (!remember_) return ReadTag(at);
  const auto known = tag_shapes_.find(at);
  if (known != tag_shapes_.end()) return known->second;
  const TagShape shape = ReadTag(at);
  tag_shapes_.emplace(at, shape);
  return shape;
}

// The start tag at `at` (a "<" followed by a name character or white space).
ElementScanner::TagShape ElementScanner::ReadTag(std::size_t at) {
  const std::size_t n = text_.size();
  std::size_t name_end = at + 1;
  while (name_end < n && CharClass(text_[name_end]) == kNameChar)
    ++name_end;
  if (name_end >= n || !EndsName(text_[name_end])) return {};
  const std::size_t tag_end = TagEnd(name_end);
  if (tag_end == kNoUnit) return {};
  if (text_[tag_end] == u'/') {
    const std::size_t gt = FindUnit(text_, tag_end + 1, u'>');
    if (gt == kNoUnit || !Addressable(gt + 1)) return {};
    return TagShape{TagKind::kSelfClosing, tag_end + 1, gt, 0};
  }
  const TextView name = text_.substr(at + 1, name_end - at - 1);
  return TagShape{TagKind::kOpen, tag_end + 1, 0, InternEndPrefix(JoinedText{u"</", name})};
}

// The first ">" or "/" at or after `from` outside quotes (quoting state clear at `from`).
std::size_t ElementScanner::TagEnd(std::size_t from) {
  std::size_t at = from;
  std::size_t result = kNoUnit;
  checkpoints_.clear();
  for (;;) {
    if (remember_) {
      const auto known = tag_ends_.find(at);
      if (known != tag_ends_.end()) {
        result = known->second;
        break;
      }
      checkpoints_.push_back(at);
    }
    const std::size_t hit = FindAnyOf4(text_, at, u'>', u'/', u'\'', u'"');
    if (hit == kNoUnit) break;
    const char16_t unit = text_[hit];
    if (unit == u'>' || unit == u'/') {
      result = hit;
      break;
    }
    // Inside quotes only the same quote ends them; jump to it.
    const std::size_t close = FindUnit(text_, hit + 1, unit);
    if (close == kNoUnit) break;
    at = close + 1;
  }
  for (const std::size_t checkpoint : checkpoints_)
    tag_ends_.insert_or_assign(checkpoint, result);
  return result;
}

// Next occurrence of an end prefix; nested elements of one name share the answer, so a deep
// stack of them searches the text once.
std::size_t ElementScanner::NextEndTag(std::uint32_t id, std::size_t from) {
  EndPrefix& prefix = end_prefixes_[id];
  const bool known = prefix.known_from != kNoUnit && from >= prefix.known_from &&
                     (prefix.known_next == kNoUnit || from <= prefix.known_next);
  if (known) return prefix.known_next;
  std::size_t found = kNoUnit;
  if (prefix.known_from != kNoUnit && from < prefix.known_from) {
    // Only the stretch before the known one needs a search.
    const std::size_t window = prefix.known_from + prefix.text.size() - 1;
    found = FindJoined(text_.substr(0, std::min(window, text_.size())), from, prefix.text);
    if (found == kNoUnit) found = prefix.known_next;
  } else {
    found = FindJoined(text_, from, prefix.text);
  }
  prefix.known_from = from;
  prefix.known_next = found;
  return found;
}

std::uint32_t ElementScanner::InternEndPrefix(JoinedText prefix) {
  if (end_prefixes_.size() <= kLinearPrefixLookup) {
    for (std::size_t id = 0; id < end_prefixes_.size(); ++id) {
      if (end_prefixes_[id].text == prefix) return static_cast<std::uint32_t>(id);
    }
  } else {
    const auto known = end_prefix_ids_.find(Joined(prefix));
    if (known != end_prefix_ids_.end()) return known->second;
  }
  const auto id = static_cast<std::uint32_t>(end_prefixes_.size());
  end_prefixes_.push_back(EndPrefix{prefix, prefix.size() != 0 && prefix[0] == u'<'});
  if (end_prefixes_.size() == kLinearPrefixLookup + 1) {
    for (std::size_t i = 0; i < end_prefixes_.size(); ++i) {
      end_prefix_ids_.emplace(Joined(end_prefixes_[i].text), static_cast<std::uint32_t>(i));
    }
  } else if (end_prefixes_.size() > kLinearPrefixLookup + 1) {
    end_prefix_ids_.emplace(Joined(prefix), id);
  }
  return id;
}

void ElementScanner::PushFrame(std::size_t tag_start, std::size_t content_start, std::size_t bound,
                               std::uint32_t end_prefix) {
  frames_.push_back(Frame{tag_start, content_start, bound, content_start, kNoUnit, 0,
                          visited_.size(), end_prefix});
}

Span ElementScanner::FinishFrame(const StateFate& fate) {
  const Frame frame = frames_.back();
  frames_.pop_back();
  if (remember_) {
    for (std::size_t i = frame.visited_begin; i < visited_.size(); ++i) {
      state_fates_.insert_or_assign(visited_[i], fate);
    }
    visited_.resize(frame.visited_begin);
  }
  if (fate.fate != Fate::kClosed || fate.first >= frame.bound) {
    // A nested element that does not close in time makes its parent rescan its inside.
    if (!frames_.empty()) remember_ = true;
    return {};
  }
  return Span{frame.tag_start, frame.content_start, fate.first, fate.second};
}

// One step of the top frame: the state at its next "<" decides the frame, hands a nested
// element to a new frame, or leaves a nested result to apply.
ElementScanner::Step ElementScanner::StepTopFrame() {
  Frame& frame = frames_.back();
  const EndPrefix& prefix = end_prefixes_[frame.end_prefix];
  const std::size_t lt = FindUnit(text_, frame.from, u'<');
  // With an end prefix that begins with "<" (always, except for odd prefixes handed to the
  // finders) the state is fully given by the next "<", and can be remembered.
  const bool keyed = remember_ && prefix.starts_with_lt && lt != kNoUnit;
  const std::uint64_t key = StateKey(frame.end_prefix, lt);
  if (keyed) {
    const auto known = state_fates_.find(key);
    if (known != state_fates_.end()) {
      const StateFate fate = known->second;
      if (fate.fate != Fate::kBeyond || fate.second >= frame.bound) return Finished(fate);
      // Jump to where an earlier scan from this state stopped.
      visited_.push_back(key);
      frame.from = fate.first;
      frame.end_tag = fate.second;
      return Moved();
    }
  }
  const std::size_t e = (frame.end_tag != kNoUnit && frame.end_tag >= frame.from)
                            ? frame.end_tag
                            : NextEndTag(frame.end_prefix, frame.from);
  frame.end_tag = e;
  if (e != kNoUnit && e >= frame.bound) return Finished(StateFate{Fate::kBeyond, lt, e});
  if (keyed) visited_.push_back(key);
  if (e == kNoUnit) return Finished(StateFate{Fate::kBroken});
  if (lt != kNoUnit && lt < e) {
    Step step = Moved();
    step.kind = StepKind::kChildDone;
    if (Resolve(lt, e + 1, step.child, step.decisive) == Resolved::kPushed) {
      frames_[frames_.size() - 2].child_at = step.decisive;
      step.kind = StepKind::kMoved;
    }
    return step;
  }
  // The candidate end tag comes first: white space may stand before its ">".
  const std::size_t n = text_.size();
  std::size_t q = e + prefix.text.size();
  while (q < n && IsWhite(text_[q]))
    ++q;
  if (q < n && text_[q] == u'>' && Addressable(q + 1)) {
    return Finished(StateFate{Fate::kClosed, e, q + 1});
  }
  return Finished(StateFate{Fate::kBroken});
}

// Scans the content of the frames on the stack until the bottom one is decided.
Span ElementScanner::RunFrames() {
  for (;;) {
    Step step = StepTopFrame();
    if (step.kind == StepKind::kMoved) continue;
    if (step.kind == StepKind::kFinished) {
      step.child = FinishFrame(step.fate);
      if (frames_.empty()) return step.child;
      step.decisive = frames_.back().child_at;
    }
    // A nested element that failed is passed over by its "<" alone.
    Frame& parent = frames_.back();
    if (step.child.Found()) {
      parent.from = step.child.outer_end;
    } else {
      parent.from = step.decisive < parent.end_tag ? step.decisive + 1 : step.decisive;
    }
  }
}

}  // namespace drumlo
