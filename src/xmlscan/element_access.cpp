#include "xmlscan/element_access.h"

#include <limits>

#include "xmlscan/element_scanner.h"
#include "xmlscan/extent.h"
#include "xmlscan/scan_primitives.h"

namespace drumlo {
namespace {

constexpr TextView kStartHead = u"<";
constexpr TextView kEndHead = u"</";

// Positions of longer texts would not fit a Position; such texts hold nothing findable.
bool Addressable(TextView text) {
  return text.size() <= kMaxPositionalLength;
}

Position ToPosition(std::size_t index) {
  return static_cast<Position>(index + 1);
}

// A search starts at cursor + 1; a cursor below 0 or at the largest Position cannot.
bool UsableCursor(Position cursor) {
  return cursor >= 0 && cursor < std::numeric_limits<Position>::max();
}

ElementExtent ToElementExtent(const Extent& x) {
  if (!x.Found()) return {};
  ElementExtent extent;
  extent.TagStart = ToPosition(x.tag_start);
  extent.OuterEnd = ToPosition(x.outer_end);
  extent.ContentStart = ToPosition(x.content_start);
  extent.ContentEnd = ToPosition(x.content_end);
  if (x.name_end != Extent::kNone) extent.NameEnd = ToPosition(x.name_end);
  if (x.attr_end != Extent::kNone) extent.AttrEnd = ToPosition(x.attr_end);
  return extent;
}

// The next element or instruction named `name` after `cursor`; moves the cursor onto its
// last ">" when found. The name is known not to be empty.
Extent FindNamed(ElementScanner& scanner, TextView name, Position& cursor) {
  if (!UsableCursor(cursor)) return {};
  const auto from = static_cast<std::size_t>(cursor);
  const Extent x =
      name.front() == u'?'
          ? scanner.FindInstruction(JoinedText{kStartHead, name}, from)
          : scanner.FindElement(JoinedText{kStartHead, name}, JoinedText{kEndHead, name}, from);
  if (x.Found()) cursor = static_cast<Position>(x.outer_end);
  return x;
}

// The n-th element after the cursor, keeping the cursor's advance over earlier ones.
Extent FindNth(ElementScanner& scanner, TextView name, Position& cursor, std::int32_t n) {
  if (name.empty() || !Addressable(scanner.text()) || n < 1) return {};
  Extent found;
  for (std::int32_t i = 0; i < n; ++i) {
    found = FindNamed(scanner, name, cursor);
    if (!found.Found()) return {};  // every later search would fail the same way
  }
  return found;
}

TextView ContentFrom(ElementScanner& scanner, TextView name, Position& cursor, std::int32_t n) {
  if (name.empty()) return kNotFound;
  if (name.front() == u'?') return scanner.text().substr(0, 0);
  const Extent found = FindNth(scanner, name, cursor, n);
  return found.Found() ? found.Content(scanner.text()) : kNotFound;
}

TextView ElementFrom(ElementScanner& scanner, TextView name, Position& cursor, std::int32_t n) {
  const Extent found = FindNth(scanner, name, cursor, n);
  return found.Found() ? found.Whole(scanner.text()) : kNotFound;
}

TextView Attribute(ElementScanner& scanner, TextView name, std::int32_t n, TextView attribute) {
  Position cursor = 0;
  const Extent found = FindNth(scanner, name, cursor, n);
  if (!found.Found() || found.attr_end < found.name_end) return kNotFound;
  return AttributeValueIn(found.AttributeRegion(scanner.text()), attribute);
}

// The value after "=" at `at` in `region`: quoted up to the same quote, otherwise up to the
// next space; a missing closing character lets it run to the end of the region.
TextView ValueAt(TextView region, std::size_t at) {
  const char16_t first = region[at];
  const bool quoted = first == u'"' || first == u'\'';
  const std::size_t begin = quoted ? at + 1 : at;
  const std::size_t end = region.find(quoted ? first : u' ', begin);
  return region.substr(begin, end == TextView::npos ? TextView::npos : end - begin);
}

std::size_t SkipWhite(TextView text, std::size_t at) {
  while (at < text.size() && IsWhite(text[at]))
    ++at;
  return at;
}

}  // namespace

TextView AttributeValueIn(TextView region, TextView attribute) {
  if (attribute.empty()) return kNotFound;
  std::size_t from = 0;
  for (;;) {
    const std::size_t match = region.find(attribute, from);
    if (match == TextView::npos || match == 0) return kNotFound;
    // Preceded by white space or by the closing double quote of another value.
    const char16_t before = region[match - 1];
    if (!IsWhite(before) && before != u'"') {
      from = match + 1;
      continue;
    }
    std::size_t at = SkipWhite(region, match + attribute.size());
    if (at >= region.size()) return kNotFound;
    if (region[at] != u'=') {
      from = match + attribute.size();
      continue;
    }
    at = SkipWhite(region, at + 1);
    if (at >= region.size()) return kNotFound;
    return TrimWhite(ValueAt(region, at));
  }
}

ElementExtent FindElement(TextView text, TextView start_prefix, TextView end_prefix,
                          Position& cursor, ScanMode mode) {
  if (!Addressable(text) || !UsableCursor(cursor)) return {};
  ElementScanner scanner(text, mode);
  const Extent x = scanner.FindElement(JoinedText{{}, start_prefix}, JoinedText{{}, end_prefix},
                                       static_cast<std::size_t>(cursor));
  if (x.Found()) cursor = static_cast<Position>(x.outer_end);
  return ToElementExtent(x);
}

ElementExtent FindInstruction(TextView text, TextView start_prefix, Position& cursor,
                              ScanMode mode) {
  if (!Addressable(text) || !UsableCursor(cursor)) return {};
  ElementScanner scanner(text, mode);
  const Extent x =
      scanner.FindInstruction(JoinedText{{}, start_prefix}, static_cast<std::size_t>(cursor));
  if (x.Found()) cursor = static_cast<Position>(x.outer_end);
  return ToElementExtent(x);
}

ElementExtent ExtentAt(TextView text, Position start, Position limit, ScanMode mode) {
  if (!Addressable(text) || start < 1) return {};
  // An end tag must begin at or before `limit`, that is before index `limit`.
  const std::size_t bound = limit < 1 ? 0 : static_cast<std::size_t>(limit);
  ElementScanner scanner(text, mode);
  return ToElementExtent(scanner.ExtentAt(static_cast<std::size_t>(start - 1), bound));
}

DocumentScanner::DocumentScanner(TextView text, ScanMode mode)
    : text_(text), scanner_(std::make_unique<ElementScanner>(text, mode)) {}

DocumentScanner::~DocumentScanner() = default;

TextView DocumentScanner::GetContentFrom(TextView name, Position& cursor, std::int32_t n) {
  return ContentFrom(*scanner_, name, cursor, n);
}

TextView DocumentScanner::GetElementFrom(TextView name, Position& cursor, std::int32_t n) {
  TextView attributes;
  return GetElementFrom(name, cursor, n, attributes);
}

TextView DocumentScanner::GetElementFrom(TextView name, Position& cursor, std::int32_t n,
                                         TextView& attributes) {
  const Extent found = FindNth(*scanner_, name, cursor, n);
  attributes = found.Found() ? found.AttributeRegion(text_) : kNotFound;
  return found.Found() ? found.Whole(text_) : kNotFound;
}

TextView DocumentScanner::GetContent(TextView name, std::int32_t n) {
  Position cursor = 0;
  return ContentFrom(*scanner_, name, cursor, n);
}

TextView DocumentScanner::GetAttribute(TextView name, std::int32_t n, TextView attribute) {
  return Attribute(*scanner_, name, n, attribute);
}

// The free accessors: a scanner for the one call.

TextView GetContentFrom(TextView text, TextView name, Position& cursor, std::int32_t n) {
  ElementScanner scanner(text);
  return ContentFrom(scanner, name, cursor, n);
}

TextView GetElementFrom(TextView text, TextView name, Position& cursor, std::int32_t n) {
  ElementScanner scanner(text);
  return ElementFrom(scanner, name, cursor, n);
}

TextView GetContent(TextView text, TextView name, std::int32_t n) {
  Position cursor = 0;
  return GetContentFrom(text, name, cursor, n);
}

TextView GetAttribute(TextView text, TextView name, std::int32_t n, TextView attribute) {
  ElementScanner scanner(text);
  return Attribute(scanner, name, n, attribute);
}

}  // namespace drumlo
