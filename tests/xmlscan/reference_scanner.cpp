#include "reference_scanner.h"

#include <cstdint>
#include <limits>

#include "xmlscan/scan_primitives.h"

namespace drumlo::reference {
namespace {

// Any run-time failure inside an operation: a unit looked up outside the text, a search
// from below 1, or a position that does not fit.
struct Failure {};

using Wide = std::int64_t;

Wide Len(TextView text) {
  return static_cast<Wide>(text.size());
}

char16_t UnitAt(TextView text, Wide p) {
  if (p < 1 || p > Len(text)) throw Failure{};
  return text[static_cast<std::size_t>(p - 1)];
}

Position Fit(Wide value) {
  if (value > std::numeric_limits<Position>::max()) throw Failure{};
  return static_cast<Position>(value);
}

// 1-based plain search; 0 when nothing is found or the start lies past the end.
Position InStr(Wide start, TextView text, TextView needle) {
  if (start < 1) throw Failure{};
  if (start > Len(text)) return 0;
  const std::size_t at = text.find(needle, static_cast<std::size_t>(start - 1));
  return at == TextView::npos ? 0 : Fit(static_cast<Wide>(at) + 1);
}

Text Joined(TextView a, TextView b) {
  Text out(a);
  out.append(b);
  return out;
}

ElementExtent ExtentAtOrFail(TextView text, Wide start, Wide limit);

// Steps 5 to 9 of the element search, from the "<" at p. Only nested searches have a limit.
ElementExtent Body(TextView text, Position p, TextView end_prefix, const Wide* limit,
                   Position* cursor) {
  ElementExtent x;
  x.TagStart = p;
  const Position gt = FindUnquoted(p, text, u'>');
  Position sl = FindUnquoted(p, text, u'/');
  if (gt != 0 && sl > gt) sl = 0;
  if (sl != 0) {
    x.AttrEnd = sl;
    x.ContentStart = Fit(Wide{sl} + 1);
    const Position g = InStr(Wide{sl} + 1, text, u">");
    if (g == 0) return {};
    x.ContentEnd = g;
    x.OuterEnd = Fit(Wide{g} + 1);
    if (cursor != nullptr) *cursor = g;
    return x;
  }
  if (gt == 0) return {};
  x.AttrEnd = gt;
  x.ContentStart = Fit(Wide{gt} + 1);
  Wide from = Wide{gt} + 1;
  for (;;) {
    const Position lt = InStr(from, text, u"<");
    const Position e = InStr(from, text, end_prefix);
    if (e == 0) return {};
    if (limit != nullptr && e > *limit) return {};
    if (lt != 0 && lt < e) {
      const ElementExtent nested = ExtentAt(text, lt, e);
      from = nested.Found() ? Wide{nested.OuterEnd} : Wide{lt} + 1;
      continue;
    }
    Wide q = Wide{e} + Len(end_prefix);
    while (IsWhite(UnitAt(text, q)))
      ++q;
    if (UnitAt(text, q) != u'>') return {};
    x.ContentEnd = e;
    x.OuterEnd = Fit(q + 1);
    if (cursor != nullptr) *cursor = Fit(q);
    return x;
  }
}

ElementExtent ExtentAtOrFail(TextView text, Wide start, Wide limit) {
  Position p = InStr(start, text, u"<");
  for (;;) {
    if (p == 0) return {};
    const char16_t u = UnitAt(text, Wide{p} + 1);
    if (u == u'/') return {};
    if (u == u'?') {
      const Position q = InStr(Wide{p} + 2, text, u"?>");
      if (q == 0) return {};
      ElementExtent x;
      x.TagStart = p;
      x.OuterEnd = x.ContentStart = x.ContentEnd = Fit(Wide{q} + 2);
      return x;
    }
    if (CharClass(u) != kOtherChar) break;
    p = InStr(Wide{p} + 1, text, u"<");
  }
  Wide k = Wide{p} + 1;
  while (CharClass(UnitAt(text, k)) == kNameChar)
    ++k;
  const char16_t end = UnitAt(text, k);
  if (!(IsWhite(end) || end == u'>' || end == u'/')) return {};
  const TextView name =
      text.substr(static_cast<std::size_t>(p), static_cast<std::size_t>(k - p - 1));
  ElementExtent x = Body(text, p, Joined(u"</", name), &limit, nullptr);
  x.NameEnd = 0;
  x.AttrEnd = 0;
  return x;
}

ElementExtent FindElementOrFail(TextView text, TextView start_prefix, TextView end_prefix,
                                Position& cursor) {
  const Wide length = Len(start_prefix);
  Wide s = Fit(Wide{cursor} + 1);
  for (;;) {
    const Position p = InStr(s, text, start_prefix);
    if (p == 0) return {};
    const char16_t u = UnitAt(text, p + length);
    if (IsWhite(u) || u == u'>' || u == u'/') {
      Position moved = cursor;
      ElementExtent x = Body(text, p, end_prefix, nullptr, &moved);
      if (!x.Found()) return {};
      x.NameEnd = Fit(p + length);
      cursor = moved;
      return x;
    }
    s = Fit(p + length + 1);
  }
}

ElementExtent FindInstructionOrFail(TextView text, TextView start_prefix, Position& cursor) {
  const Wide length = Len(start_prefix);
  Wide s = Fit(Wide{cursor} + 1);
  for (;;) {
    const Position p = InStr(s, text, start_prefix);
    if (p == 0) return {};
    const char16_t u = UnitAt(text, p + length);
    if (IsWhite(u) || u == u'?') {
      const Position q = InStr(Wide{p} + 2, text, u"?>");
      if (q == 0) return {};
      ElementExtent x;
      x.TagStart = p;
      x.OuterEnd = Fit(Wide{q} + 2);
      x.NameEnd = Fit(p + length);
      x.AttrEnd = q;
      x.ContentStart = x.ContentEnd = x.OuterEnd;
      cursor = Fit(Wide{q} + 1);
      return x;
    }
    s = Fit(p + length + 1);
  }
}

bool Addressable(TextView text) {
  return text.size() <= kMaxPositionalLength;
}

// Calls the finder n times as the accessors do.
ElementExtent FindNth(TextView text, TextView name, Position& cursor, std::int32_t n) {
  if (name.empty()) return {};  // its first character does not exist
  const bool instruction = name.front() == u'?';
  const Text start_prefix = Joined(u"<", name);
  const Text end_prefix = Joined(u"</", name);
  ElementExtent x;
  for (std::int32_t i = 0; i < n; ++i) {
    x = instruction ? FindInstruction(text, start_prefix, cursor)
                    : FindElement(text, start_prefix, end_prefix, cursor);
    if (!x.Found()) break;  // the remaining calls would fail the same way
  }
  if (n < 1 || !x.Found()) return {};
  cursor = x.OuterEnd - 1;
  return x;
}

TextView Mid(TextView text, Wide start, Wide length) {
  if (start < 1 || length < 0) throw Failure{};
  if (start > Len(text)) return text.substr(0, 0);
  return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
}

TextView AttributeOrFail(TextView region, TextView attribute) {
  Wide s = 1;
  for (;;) {
    const Position p = InStr(s, region, attribute);
    if (p == 0 || p == 1) return kNotFound;
    const char16_t before = UnitAt(region, Wide{p} - 1);
    if (!IsWhite(before) && before != u'"') {
      s = Wide{p} + 1;
      continue;
    }
    Wide k = Wide{p} + Len(attribute);
    while (k <= Len(region) && IsWhite(UnitAt(region, k)))
      ++k;
    if (k > Len(region)) return kNotFound;
    if (UnitAt(region, k) != u'=') {
      s = Wide{p} + Len(attribute);
      continue;
    }
    ++k;
    while (k <= Len(region) && IsWhite(UnitAt(region, k)))
      ++k;
    if (k > Len(region)) return kNotFound;
    const char16_t v = UnitAt(region, k);
    Wide begin = k;
    TextView closer = u" ";
    if (v == u'"') {
      begin = k + 1;
      closer = u"\"";
    } else if (v == u'\'') {
      begin = k + 1;
      closer = u"'";
    }
    const Position close = InStr(begin, region, closer);
    const Wide end = close == 0 ? Len(region) + 1 : Wide{close};
    return TrimWhite(Mid(region, begin, end - begin));
  }
}

}  // namespace

ElementExtent ExtentAt(TextView text, Position start, Position limit) {
  if (!Addressable(text)) return {};
  try {
    return ExtentAtOrFail(text, start, limit);
  } catch (const Failure&) {
    return {};
  }
}

ElementExtent FindElement(TextView text, TextView start_prefix, TextView end_prefix,
                          Position& cursor) {
  if (!Addressable(text)) return {};
  try {
    return FindElementOrFail(text, start_prefix, end_prefix, cursor);
  } catch (const Failure&) {
    return {};
  }
}

ElementExtent FindInstruction(TextView text, TextView start_prefix, Position& cursor) {
  if (!Addressable(text)) return {};
  try {
    return FindInstructionOrFail(text, start_prefix, cursor);
  } catch (const Failure&) {
    return {};
  }
}

TextView GetContentFrom(TextView text, TextView name, Position& cursor, std::int32_t n) {
  if (name.empty()) return kNotFound;
  if (name.front() == u'?') return text.substr(0, 0);
  const ElementExtent x = FindNth(text, name, cursor, n);
  if (!x.Found()) return kNotFound;
  return Mid(text, x.ContentStart, Wide{x.ContentEnd} - x.ContentStart);
}

TextView GetElementFrom(TextView text, TextView name, Position& cursor, std::int32_t n) {
  const ElementExtent x = FindNth(text, name, cursor, n);
  if (!x.Found()) return kNotFound;
  return Mid(text, x.TagStart, Wide{x.OuterEnd} - x.TagStart);
}

TextView GetContent(TextView text, TextView name, std::int32_t n) {
  Position cursor = 0;
  return GetContentFrom(text, name, cursor, n);
}

TextView GetAttribute(TextView text, TextView name, std::int32_t n, TextView attribute) {
  Position cursor = 0;
  const ElementExtent x = FindNth(text, name, cursor, n);
  if (!x.Found()) return kNotFound;
  try {
    const TextView region = Mid(text, x.NameEnd, Wide{x.AttrEnd} - x.NameEnd);
    return AttributeOrFail(region, attribute);
  } catch (const Failure&) {
    return kNotFound;
  }
}

}  // namespace drumlo::reference
