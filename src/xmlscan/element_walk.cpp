#include "xmlscan/element_walk.h"

#include "xmlscan/element_scanner.h"
#include "xmlscan/scan_primitives.h"
#include "xmlscan/unit_search.h"

namespace drumlo {
namespace {

enum class TagRead { kGiveUp, kOpen, kSelfClosing };

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
  for (;;) {
    const std::size_t hit = FindAnyOf5(text, at, u'>', u'/', u'"', u'\'', u'<');
    if (hit == kNoUnit) return TagRead::kGiveUp;
    const char16_t unit = data[hit];
    if (unit == u'<') return TagRead::kGiveUp;
    if (unit == u'"' || unit == u'\'') {
      const std::size_t close = FindAnyOf2(text, hit + 1, unit, u'<');
      if (close == kNoUnit || data[close] == u'<') return TagRead::kGiveUp;
      at = close + 1;
      continue;
    }
    element.attr_end = static_cast<std::uint32_t>(hit);
    element.content_start = static_cast<std::uint32_t>(hit + 1);
    if (unit == u'>') return TagRead::kOpen;
    const std::size_t gt = FindAnyOf2(text, hit + 1, u'>', u'<');
    if (gt == kNoUnit || data[gt] == u'<') return TagRead::kGiveUp;
    element.content_end = static_cast<std::uint32_t>(gt);
    element.outer_end = static_cast<std::uint32_t>(gt + 1);
    return TagRead::kSelfClosing;
  }
}

bool StartsWith(TextView text, std::size_t at, TextView prefix) {
  return text.size() - at >= prefix.size() && text.substr(at, prefix.size()) == prefix;
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
    const std::size_t lt = FindUnit(text, at, u'<');
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
