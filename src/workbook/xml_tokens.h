// A small pull tokenizer for the XML parts of a workbook archive (UTF-8 bytes): start and end
// tags with their local names, text and CDATA, nothing else. It checks no well-formedness
// beyond what it needs to find the next token, and reports a token cut off by the end of the
// bytes at hand, so that parts can be read while they are still being inflated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace drumlo {

enum class TokenKind : std::uint8_t {
  kStartTag,
  kEndTag,
  kText,
  kCData,
  kOther,       // a comment, a processing instruction or a declaration
  kIncomplete,  // the bytes end inside this token (or, when incomplete, inside text)
  kEnd,         // all bytes read
};

struct XmlToken {
  TokenKind kind = TokenKind::kEnd;
  std::string_view name;        // start and end tags: the local name, without any prefix
  std::string_view attributes;  // start tags: what stands between the name and ">" or "/>"
  std::string_view text;        // text and CDATA: the raw characters, entities undecoded
  bool self_closing = false;
};

class XmlTokenizer {
 public:
  // `complete` says that `xml` holds everything that follows, so that text reaching its end is
  // whole; a tag cut off by the end is incomplete either way.
  XmlTokenizer(std::string_view xml, bool complete, std::size_t from = 0)
      : xml_(xml), at_(from), complete_(complete) {}

  // The next token. An incomplete token leaves the position at its start.
  [[nodiscard]] XmlToken Next();
  // Where the next token begins.
  [[nodiscard]] std::size_t Offset() const { return at_; }

 private:
  XmlToken Markup();
  XmlToken StartTag(std::size_t open);
  XmlToken EndTag(std::size_t open);
  XmlToken Skipped(std::size_t open, std::string_view terminator);
  XmlToken CData(std::size_t open);
  [[nodiscard]] std::size_t Find(char c, std::size_t from) const;

  std::string_view xml_;
  std::size_t at_;
  bool complete_;
};

// The name without its namespace prefix.
[[nodiscard]] std::string_view LocalName(std::string_view qualified);

// Walks the attributes of a start tag: `visit(name, raw_value)` for each, names qualified as
// written, values without their quotes and with entities undecoded. False when the attribute
// region is malformed (the attributes before the fault have been visited).
template <typename Visit>
bool ForEachAttribute(std::string_view attributes, Visit&& visit);

// The raw value of the attribute named exactly `name`; nothing when there is none.
[[nodiscard]] std::optional<std::string_view> AttributeValue(std::string_view attributes,
                                                             std::string_view name);

// ---------------------------------------------------------------------------------------------

namespace internal {
[[nodiscard]] inline bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
}  // namespace internal

template <typename Visit>
bool ForEachAttribute(std::string_view attributes, Visit&& visit) {
  using internal::IsXmlSpace;
  std::size_t at = 0;
  const std::size_t size = attributes.size();
  for (;;) {
    while (at < size && IsXmlSpace(attributes[at]))
      ++at;
    if (at == size || attributes[at] == '/') return true;
    const std::size_t name_start = at;
    while (at < size && attributes[at] != '=' && !IsXmlSpace(attributes[at]))
      ++at;
    const std::string_view name = attributes.substr(name_start, at - name_start);
    while (at < size && IsXmlSpace(attributes[at]))
      ++at;
    if (at == size || attributes[at] != '=') return false;
    ++at;
    while (at < size && IsXmlSpace(attributes[at]))
      ++at;
    if (at == size || (attributes[at] != '"' && attributes[at] != '\'')) return false;
    const char quote = attributes[at++];
    const std::size_t close = attributes.find(quote, at);
    if (close == std::string_view::npos) return false;
    visit(name, attributes.substr(at, close - at));
    at = close + 1;
  }
}

}  // namespace drumlo
