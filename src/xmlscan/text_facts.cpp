#include "xmlscan/text_facts.h"

#include <algorithm>

#include "xmlscan/scan_primitives.h"

namespace drumlo {

std::size_t TextFacts::NextUnit(ForwardMemo& memo, std::size_t from, char16_t unit) {
  return memo.Next(from, text_.size(), [&](std::size_t a, std::size_t b) {
    const std::size_t hit = FindUnit(text_.substr(0, b), a, unit);
    CountRead(a, hit, b);
    return hit;
  });
}

std::size_t TextFacts::InstructionEnd(std::size_t from) {
  return instruction_ends_.Next(from, text_.size(), [&](std::size_t a, std::size_t b) {
    // An occurrence that begins before b may end at b.
    const std::size_t hit = FindText(text_.substr(0, std::min(text_.size(), b + 1)), a, u"?>");
    CountRead(a, hit, b);
    return hit;
  });
}

std::size_t TextFacts::NextGreater(std::size_t from) {
  return NextUnit(greaters_, from, u'>');
}

std::size_t TextFacts::TagEnd(std::size_t from, TagEndMemo* memo) {
  std::size_t at = from;
  std::size_t result = kNoUnit;
  checkpoints_.clear();
  for (;;) {
    const std::size_t stop = tag_stops_.Next(at, text_.size(), [&](std::size_t a, std::size_t b) {
      const std::size_t hit = FindAnyOf4(text_.substr(0, b), a, u'>', u'/', u'\'', u'"');
      CountRead(a, hit, b);
      return hit;
    });
    if (stop == kNoUnit) break;
    const char16_t unit = text_[stop];
    if (unit == u'>' || unit == u'/') {
      result = stop;
      break;
    }
    if (memo != nullptr) {
      const auto known = memo->find(stop);
      if (known != memo->end()) {
        result = known->second;
        break;
      }
      checkpoints_.push_back(stop);
    }
    // Inside quotes only the same quote ends them.
    const std::size_t close = NextUnit(unit == u'"' ? quotes_ : apostrophes_, stop + 1, unit);
    if (close == kNoUnit) break;
    at = close + 1;
  }
  if (memo != nullptr) {
    for (const std::size_t checkpoint : checkpoints_)
      memo->emplace(checkpoint, result);
  }
  return result;
}

StartTag TextFacts::ReadStartTag(std::size_t lt, TagEndMemo* memo) {
  const std::size_t n = text_.size();
  StartTag tag;
  std::size_t name_end = lt + 1;
  while (name_end < n && CharClass(text_[name_end]) == kNameChar)
    ++name_end;
  if (name_end >= n) return tag;
  const char16_t after = text_[name_end];
  if (after != u'>' && after != u'/' && !IsWhite(after)) return tag;
  const std::size_t tag_end = TagEnd(name_end, memo);
  if (tag_end == kNoUnit) return tag;
  tag.name_end = name_end;
  tag.tag_end = tag_end;
  if (text_[tag_end] == u'>') {
    tag.kind = StartTag::Kind::kOpen;
    return tag;
  }
  const std::size_t gt = NextGreater(tag_end + 1);
  if (gt == kNoUnit || !FitsPosition(gt + 1)) return tag;
  tag.kind = StartTag::Kind::kSelfClosing;
  tag.outer_end = gt + 1;
  return tag;
}

std::size_t TextFacts::TagOpening(std::size_t from) {
  return tag_openings_.Next(from, text_.size(), [&](std::size_t a, std::size_t b) {
    std::size_t lt = FindUnit(text_.substr(0, b), a, u'<');
    while (lt != kNoUnit && lt + 1 < text_.size()) {
      const char16_t next = text_[lt + 1];
      if (next == u'/' || next == u'?' || CharClass(next) != kOtherChar) break;
      lt = FindUnit(text_.substr(0, b), lt + 1, u'<');
    }
    CountRead(a, lt, b);
    return lt;
  });
}

}  // namespace drumlo
