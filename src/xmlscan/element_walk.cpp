#include "xmlscan/element_walk.h"

#include <algorithm>
#include <array>

#include "xmlscan/element_scanner.h"
#include "xmlscan/scan_primitives.h"
#include "xmlscan/unit_search.h"

namespace drumlo {
namespace {

enum class TagRead { kGiveUp, kOpen, kSelfClosing };

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
TagRead ReadStartTag(TextView text, std::size_t lt, WalkedElement& element) {
  const std::size_t n = text.size();
  const char16_t* data = text.data();
  std::size_t at = lt + 1;
  while (at < n && CharClass(data[at]) == kNameChar)
    ++at;
  if (at == lt + 1 || at >= n || !EndsName(data[at])) return TagRead::kGiveUp;
  element.tag_start = static_cast<std::uint32_t>(lt);
  element.name_end = static_cast<std::uint32_t>(at);
  for (;; ++at) {
    if (at >= n) return TagRead::kGiveUp;
    const std::uint8_t stop = TagStop(data[at]);
    if (stop == kGoOn) continue;
    if (stop == kTagOpen) return TagRead::kGiveUp;
    if (stop == kQuote) {
      const char16_t quote = data[at];
      do {
        if (++at >= n || data[at] == u'<') return TagRead::kGiveUp;
      } while (data[at] != quote);
      continue;
    }
    break;
  }
  element.attr_end = static_cast<std::uint32_t>(at);
  element.content_start = static_cast<std::uint32_t>(at + 1);
  if (data[at] == u'>') return TagRead::kOpen;
  const std::size_t gt = FindAnyOf2(text, at + 1, u'>', u'<');
  if (gt == kNoUnit || data[gt] == u'<') return TagRead::kGiveUp;
  element.content_end = static_cast<std::uint32_t>(gt);
  element.outer_end = static_cast<std::uint32_t>(gt + 1);
  return TagRead::kSelfClosing;
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
bool StartsWith(TextView text, std::size_t at, TextView prefix) {
  if (text.size() - at < prefix.size()) return false;
  const char16_t* here = text.data() + at;
  for (std::size_t k = 0; k < prefix.size(); ++k) {
    if (here[k] != prefix[k]) return false;
  }
  return true;
}

}  // namespace

// The end tag at `lt` must be the innermost open element's: "</", its name, white space, ">".
// An end tag that also begins with an enclosing element's end prefix would be that element's
// candidate end tag as well, which the walk does not follow.
bool ElementWalk::CloseTop(TextView text, std::size_t lt, std::size_t& next) {
  WalkedElement& top = elements_[open_.back()];
  const TextView name = top.Name(text);
  const std::size_t name_at = lt + 2;
  if (!StartsWith(text, name_at, name)) return false;
  std::size_t gt = name_at + name.size();
  while (gt < text.size() && IsWhite(text[gt]))
    ++gt;
  if (gt >= text.size() || text[gt] != u'>') return false;
  for (std::size_t k = 0; k + 1 < open_.size(); ++k) {
    if (StartsWith(text, name_at, elements_[open_[k]].Name(text))) return false;
  }
  top.content_end = static_cast<std::uint32_t>(lt);
  top.outer_end = static_cast<std::uint32_t>(gt + 1);
  open_.pop_back();
  next = gt + 1;
  return true;
}

bool ElementWalk::Walk(TextView text, std::size_t tag_start) {
  elements_.clear();
  open_.clear();
  const std::size_t n = text.size();
  // Every index must fit the 32-bit fields and a 1-based Position.
  if (n >= kMaxPositionalLength || tag_start + 1 >= n || text[tag_start] != u'<') return false;
  std::size_t at = tag_start;
  for (;;) {
    const std::size_t lt = NextTagOpen(text, at);
    if (lt == kNoUnit || lt + 1 >= n) return false;
    const char16_t next = text[lt + 1];
    if (next == u'/') {
      if (open_.empty() || !CloseTop(text, lt, at)) return false;
      if (open_.empty()) return true;
      continue;
    }
    if (next == u'?') return false;
    if (CharClass(next) == kOtherChar && !elements_.empty()) {
      at = lt + 1;  // "<!" and the like start nothing
      continue;
    }
    WalkedElement element{};
    const TagRead read = ReadStartTag(text, lt, element);
    if (read == TagRead::kGiveUp) return false;
    elements_.push_back(element);
    if (read == TagRead::kSelfClosing) {
      if (open_.empty()) return true;
      at = element.outer_end;
    } else {
      open_.push_back(static_cast<std::uint32_t>(elements_.size() - 1));
      at = element.content_start;
    }
  }
}

std::size_t FindStartTag(TextView text, std::size_t from, TextView name) {
  return FindNamedTag(text, from, JoinedText{u"<", name}, EndsName);
}

}  // namespace drumlo
