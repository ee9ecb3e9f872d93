#include "xmlscan/scan_primitives.h"

#include <array>
#include <cstdint>

namespace drumlo {
namespace {

struct UnitRange {
  char16_t first;
  char16_t last;
};

// Unicode White_Space.
constexpr UnitRange kWhiteRanges[] = {
    {0x0009, 0x000D}, {0x0020, 0x0020}, {0x0085, 0x0085}, {0x00A0, 0x00A0}, {0x1680, 0x1680},
    {0x2000, 0x200A}, {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
};

// XML 1.0 NameStartChar plus the ASCII digits; supplementary characters are admitted through
// their surrogate code units.
constexpr UnitRange kNameRanges[] = {
    {0x0030, 0x0039}, {0x003A, 0x003A}, {0x0041, 0x005A}, {0x005F, 0x005F}, {0x0061, 0x007A},
    {0x00C0, 0x00D6}, {0x00D8, 0x00F6}, {0x00F8, 0x02FF}, {0x0370, 0x037D}, {0x037F, 0x1FFF},
    {0x200C, 0x200D}, {0x2070, 0x218F}, {0x2C00, 0x2FEF}, {0x3001, 0xDB7F}, {0xDC00, 0xDFFF},
    {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD},
};

using ClassTable = std::array<std::uint8_t, 0x10000>;

// White space is marked last so that it wins where the two sets overlap (U+1680).
constexpr ClassTable BuildClassTable() {
  ClassTable table{};
  for (const UnitRange& r : kNameRanges) {
    for (std::uint32_t u = r.first; u <= r.last; ++u)
      table[u] = kNameChar;
  }
  for (const UnitRange& r : kWhiteRanges) {
    for (std::uint32_t u = r.first; u <= r.last; ++u)
      table[u] = kWhiteSpace;
  }
  return table;
}

struct EntityRule {
  char16_t selector;
  TextView reference;
  TextView replacement;
};

// Applied in this order; "&amp;" comes last so that an escaped reference is decoded only once.
constexpr EntityRule kEntityRules[] = {
    {u' ', u"&nbsp;", u" "},  {u'<', u"&lt;", u"<"},    {u'>', u"&gt;", u">"},
    {u'\'', u"&apos;", u"'"}, {u'"', u"&quot;", u"\""}, {u'&', u"&amp;", u"&"},
};

// Replaces every occurrence of `from`, scanning on after each replacement.
void ReplaceAll(Text& text, TextView from, TextView to) {
  std::size_t at = text.find(from);
  if (at == Text::npos) return;
  Text out;
  out.reserve(text.size());
  std::size_t done = 0;
  while (at != Text::npos) {
    out.append(text, done, at - done);
    out.append(to);
    done = at + from.size();
    at = text.find(from, done);
  }
  out.append(text, done, Text::npos);
  text.swap(out);
}

}  // namespace

constexpr std::array<std::uint8_t, 0x10000> internal::kUnitClasses = BuildClassTable();

Position FindUnquoted(Position start, TextView text, char16_t target) {
  if (start < 1 || text.size() > kMaxPositionalLength) return 0;
  bool in_apostrophes = false;
  bool in_quotes = false;
  for (std::size_t i = static_cast<std::size_t>(start) - 1; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u == target) {
      if (!in_apostrophes && !in_quotes) return static_cast<Position>(i + 1);
      continue;
    }
    if (u == u'\'' && !in_quotes) in_apostrophes = !in_apostrophes;
    if (u == u'"' && !in_apostrophes) in_quotes = !in_quotes;
  }
  return 0;
}

Text StripTags(TextView text) {
  if (text.size() > kMaxPositionalLength) return Text(text);
  Text result;
  result.reserve(text.size());
  std::size_t copied = 0;  // 0-based index of the first unit not yet consumed
  std::size_t lt = text.find(u'<');
  while (lt != TextView::npos) {
    result.append(text.substr(copied, lt - copied));
    const Position gt = FindUnquoted(static_cast<Position>(lt + 2), text, u'>');
    if (gt == 0) {
      result.append(text.substr(lt));
      return result;
    }
    copied = static_cast<std::size_t>(gt);  // just after the ">"
    lt = text.find(u'<', copied);
  }
  result.append(text.substr(copied));
  return result;
}

TextView TrimWhite(TextView text) {
  while (!text.empty() && IsWhite(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsWhite(text.back()))
    text.remove_suffix(1);
  return text;
}

Text DecodeEntities(TextView text, TextView selection) {
  Text result(text);
  if (result.find(u'&') == Text::npos) return result;
  for (const EntityRule& rule : kEntityRules) {
    if (selection.find(rule.selector) != TextView::npos) {
      ReplaceAll(result, rule.reference, rule.replacement);
    }
  }
  return result;
}

}  // namespace drumlo
