#include "xmlscan/element_walk.h"

#include <algorithm>
#include <array>

#include "xmlscan/element_scanner.h"
#include "xmlscan/scan_primitives.h"
#include "xmlscan/unit_search.h"

namespace drumlo {
namespace {

// Up to this depth the open elements' names are compared one by one; deeper, through a table.
constexpr std::size_t kShallowDepth = 8;

// The hash of a name's first `length` units, given that of its first length - 1.
std::uint64_t HashOn(std::uint64_t hash, char16_t unit) {
  return (hash + unit + 1) * 0x100000001B3ull;
}

std::uint32_t KeyOf(std::uint64_t hash, std::size_t length) {
  const std::uint64_t mixed = (hash ^ (length * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
  return static_cast<std::uint32_t>(mixed >> 32);
}

// Units that stop the scan of a start tag; attributes are short, so a plain loop over them
// beats a vector search here.
constexpr std::uint8_t kGoOn = 0;
constexpr std::uint8_t kTagEnd = 1;
constexpr std::uint8_t kQuote = 2;
constexpr std::uint8_t kTagOpen = 3;

constexpr std::array<std::uint8_t, 128> BuildTagStops() {
  std::array<std::uint8_t, 128> stops{};
  stops[u'>'] = kTagEnd;
  stops[u'/'] = kTagEnd;
  stops[u'"'] = kQuote;
  stops[u'\''] = kQuote;
  stops[u'<'] = kTagOpen;
  return stops;
}
constexpr std::array<std::uint8_t, 128> kTagStops = BuildTagStops();

std::uint8_t TagStop(char16_t unit) {
  return unit < 128 ? kTagStops[unit] : kGoOn;
}

// Reads the start tag at `lt` ("<" and a name). The tag ends at the first ">" or "/" outside
// quotes; a self-closing tag at the first ">" after its "/". A "<" anywhere inside would be
// seen by the finders' plain searches but not by the walk, so it ends the walk.
WalkResult ReadStartTag(TextView text, std::size_t lt, Extent& element) {
  const std::size_t n = text.size();
  const char16_t* data = text.data();
  std::size_t at = lt + 1;
  while (at < n && CharClass(data[at]) == kNameChar)
    ++at;
  if (at >= n) return WalkResult::kCutShort;
  if (at == lt + 1 || !EndsName(data[at])) return WalkResult::kCannotVouch;
  element.tag_start = static_cast<std::uint32_t>(lt);
  element.name_end = static_cast<std::uint32_t>(at);
  for (;; ++at) {
    if (at >= n) return WalkResult::kCutShort;
    const std::uint8_t stop = TagStop(data[at]);
    if (stop == kGoOn) continue;
    if (stop == kTagOpen) return WalkResult::kCannotVouch;
    if (stop == kQuote) {
      const char16_t quote = data[at];
      do {
        if (++at >= n) return WalkResult::kCutShort;
        if (data[at] == u'<') return WalkResult::kCannotVouch;
      } while (data[at] != quote);
      continue;
    }
    break;
  }
  element.attr_end = static_cast<std::uint32_t>(at);
  element.content_start = static_cast<std::uint32_t>(at + 1);
  if (data[at] == u'>') return WalkResult::kWalked;
  const std::size_t gt = FindAnyOf2(text, at + 1, u'>', u'<');
  if (gt == kNoUnit) return WalkResult::kCutShort;
  if (data[gt] == u'<') return WalkResult::kCannotVouch;
  element.content_end = static_cast<std::uint32_t>(gt);
  element.outer_end = static_cast<std::uint32_t>(gt + 1);
  return WalkResult::kWalked;
}

// The next "<": the stretch between two tags is often a line break and indentation, which a
// few plain steps cover before a vector search pays off.
std::size_t NextTagOpen(TextView text, std::size_t from) {
  const std::size_t near_end = std::min(text.size(), from + 8);
  for (std::size_t at = from; at < near_end; ++at) {
    if (text[at] == u'<') return at;
  }
  return FindUnit(text, near_end, u'<');
}

// Names are a few units long: a plain loop beats a call to compare them.
bool BeginsWith(TextView text, TextView prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t k = 0; k < prefix.size(); ++k) {
    if (text[k] != prefix[k]) return false;
  }
  return true;
}

// How `name` stands at `at`: all there, or cut off by the end of the text while what is there
// agrees with it.
WalkResult NameAt(TextView text, std::size_t at, TextView name) {
  const std::size_t there = std::min(name.size(), text.size() - at);
  const char16_t* here = text.data() + at;
  for (std::size_t k = 0; k < there; ++k) {
    if (here[k] != name[k]) return WalkResult::kCannotVouch;
  }
  return there == name.size() ? WalkResult::kWalked : WalkResult::kCutShort;
}

}  // namespace

void ElementWalk::OpenNames::Clear() {
  ++stamp_;  // every slot is free again, without touching the table
  if (stamp_ == 0) {
    std::fill(slots_.begin(), slots_.end(), Slot{});
    stamp_ = 1;
  }
  used_ = 0;
  std::fill(length_counts_.begin(), length_counts_.end(), 0);
}

// The slot of `name` (one with its key and its units), or the free slot it would take.
std::size_t ElementWalk::OpenNames::Find(TextView text, TextView name, std::uint32_t key) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = key & mask;; slot = (slot + 1) & mask) {
    const Slot& here = slots_[slot];
    if (here.stamp != stamp_) return slot;
    // Names are whole runs of name characters: the open one must end where `name` does.
    if (here.key == key && here.name_at != kClosed &&
        text.substr(here.name_at, name.size()) == name &&
        CharClass(text[here.name_at + name.size()]) != kNameChar) {
      return slot;
    }
  }
}

bool ElementWalk::OpenNames::AnyBegins(TextView text, TextView name) const {
  if (slots_.empty()) return false;
  std::uint64_t hash = 0;
  for (std::size_t length = 1; length <= name.size(); ++length) {
    hash = HashOn(hash, name[length - 1]);
    if (length >= length_counts_.size() || length_counts_[length] == 0) continue;
    const TextView beginning = name.substr(0, length);
    if (slots_[Find(text, beginning, KeyOf(hash, length))].stamp == stamp_) return true;
  }
  return false;
}

void ElementWalk::OpenNames::Grow() {
  std::vector<Slot> old(std::max<std::size_t>(64, 2 * slots_.size()));
  old.swap(slots_);
  used_ = 0;
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.stamp != stamp_ || slot.name_at == kClosed) continue;  // not open: dropped
    std::size_t free = slot.key & mask;
    while (slots_[free].stamp == stamp_)
      free = (free + 1) & mask;
    slots_[free] = slot;
    ++used_;
  }
}

void ElementWalk::OpenNames::Add(TextView text, const Extent& element) {
  if (2 * (used_ + 1) > slots_.size()) Grow();
  const TextView name = element.Name(text);
  std::uint64_t hash = 0;
  for (const char16_t unit : name)
    hash = HashOn(hash, unit);
  slots_[Find(text, name, KeyOf(hash, name.size()))] =
      Slot{KeyOf(hash, name.size()), element.tag_start + 1, stamp_};
  ++used_;
  if (length_counts_.size() <= name.size()) length_counts_.resize(name.size() + 1, 0);
  ++length_counts_[name.size()];
}

void ElementWalk::OpenNames::Remove(TextView text, const Extent& element) {
  const TextView name = element.Name(text);
  std::uint64_t hash = 0;
  for (const char16_t unit : name)
    hash = HashOn(hash, unit);
  slots_[Find(text, name, KeyOf(hash, name.size()))].name_at = kClosed;
  --length_counts_[name.size()];
}

// An element with content inside one whose name begins its own ("<a1>" inside "<a>") cannot be
// walked: its end tag would also be the outer element's candidate end tag, and the finders
// need not end the outer element at its own: in "<a><ab><a>x</a></ab></a>" the outer "a",
// once past the inner "</a>", takes "</ab" for its end tag and is not found at all.
bool ElementWalk::AncestorNameBegins(TextView text, const Extent& element) {
  const TextView name = element.Name(text);
  if (deep_) return open_names_.AnyBegins(text, name);
  // Names mostly differ in their first unit.
  return std::any_of(open_.begin(), open_.end(), [&](std::size_t k) {
    const Extent& open = elements_[k];
    return text[open.tag_start + 1] == name.front() && BeginsWith(name, open.Name(text));
  });
}

void ElementWalk::Push(TextView text, std::size_t element) {
  open_.push_back(element);
  if (!deep_ && open_.size() <= kShallowDepth) return;
  if (!deep_) {
    deep_ = true;
    for (std::size_t k = 0; k + 1 < open_.size(); ++k)
      open_names_.Add(text, elements_[open_[k]]);
  }
  open_names_.Add(text, elements_[element]);
}

void ElementWalk::Pop(TextView text) {
  if (deep_) open_names_.Remove(text, elements_[open_.back()]);
  open_.pop_back();
}

WalkResult ElementWalk::Open(TextView text, std::size_t lt, std::size_t& next) {
  Extent element;
  const WalkResult read = ReadStartTag(text, lt, element);
  if (read != WalkResult::kWalked) return read;
  const bool has_content = text[element.attr_end] == u'>';
  if (has_content && !open_.empty() && AncestorNameBegins(text, element)) {
    return WalkResult::kCannotVouch;
  }
  elements_.push_back(element);
  if (has_content) {
    Push(text, elements_.size() - 1);
    next = element.content_start;
  } else {
    next = element.outer_end;
  }
  return WalkResult::kWalked;
}

// The end tag at `lt` must be the innermost open element's: "</", its name, white space, ">".
WalkResult ElementWalk::CloseTop(TextView text, std::size_t lt, std::size_t& next) {
  Extent& top = elements_[open_.back()];
  const TextView name = top.Name(text);
  const WalkResult named = NameAt(text, lt + 2, name);
  if (named != WalkResult::kWalked) return named;
  std::size_t gt = lt + 2 + name.size();
  while (gt < text.size() && IsWhite(text[gt]))
    ++gt;
  if (gt >= text.size()) return WalkResult::kCutShort;
  if (text[gt] != u'>') return WalkResult::kCannotVouch;
  top.content_end = static_cast<std::uint32_t>(lt);
  top.outer_end = static_cast<std::uint32_t>(gt + 1);
  Pop(text);
  next = gt + 1;
  return WalkResult::kWalked;
}

WalkResult ElementWalk::Walk(TextView text, std::size_t tag_start) {
  elements_.clear();
  open_.clear();
  if (deep_) {
    open_names_.Clear();
    deep_ = false;
  }
  // Every index must fit a 1-based Position; the finders find nothing in longer texts.
  if (text.size() >= kMaxPositionalLength) return WalkResult::kCannotVouch;
  if (tag_start >= text.size()) return WalkResult::kCutShort;
  if (text[tag_start] != u'<') return WalkResult::kCannotVouch;
  std::size_t at = tag_start;
  for (;;) {
    const std::size_t lt = NextTagOpen(text, at);
    if (lt == kNoUnit || lt + 1 >= text.size()) return WalkResult::kCutShort;
    const char16_t unit = text[lt + 1];
    if (unit == u'/') {
      if (open_.empty()) return WalkResult::kCannotVouch;
      const WalkResult closed = CloseTop(text, lt, at);
      if (closed != WalkResult::kWalked) return closed;
      if (open_.empty()) return WalkResult::kWalked;
      continue;
    }
    if (unit == u'?') return WalkResult::kCannotVouch;
    if (CharClass(unit) == kOtherChar && !elements_.empty()) {
      at = lt + 1;  // "<!" and the like start nothing
      continue;
    }
    const WalkResult opened = Open(text, lt, at);
    if (opened != WalkResult::kWalked) return opened;
    if (open_.empty()) return WalkResult::kWalked;  // the element itself closed itself
  }
}

std::size_t FindStartTag(TextView text, std::size_t from, TextView name) {
  return FindNamedTag(text, from, JoinedText{u"<", name}, EndsName);
}

}  // namespace drumlo
