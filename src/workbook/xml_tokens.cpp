#include "workbook/xml_tokens.h"

#include <algorithm>
#include <cstring>

namespace drumlo {
namespace {

using internal::IsXmlSpace;

bool EndsName(char c) {
  return c == '>' || c == '/' || IsXmlSpace(c);
}

}  // namespace

// Names, texts and tags between cells are a few characters long: plain loops beat library
// searches there.
std::string_view LocalName(std::string_view qualified) {
  for (std::size_t k = 0; k < qualified.size(); ++k) {
    if (qualified[k] == ':') return qualified.substr(k + 1);
  }
  return qualified;
}

std::optional<std::string_view> AttributeValue(std::string_view attributes, std::string_view name) {
  std::optional<std::string_view> found;
  ForEachAttribute(attributes, [&](std::string_view n, std::string_view value) {
    if (!found && n == name) found = value;
  });
  return found;
}

// The first `c` at or after `from`, or the end of the bytes.
std::size_t XmlTokenizer::Find(char c, std::size_t from) const {
  constexpr std::size_t kShortRun = 32;
  const std::size_t short_end = std::min(xml_.size(), from + kShortRun);
  for (std::size_t k = from; k < short_end; ++k) {
    if (xml_[k] == c) return k;
  }
  if (short_end == xml_.size()) return xml_.size();
  const void* found = std::memchr(xml_.data() + short_end, c, xml_.size() - short_end);
  return found == nullptr ? xml_.size()
                          : static_cast<std::size_t>(static_cast<const char*>(found) - xml_.data());
}

XmlToken XmlTokenizer::Next() {
  XmlToken token;
  if (at_ >= xml_.size()) {
    token.kind = complete_ ? TokenKind::kEnd : TokenKind::kIncomplete;
    return token;
  }
  if (xml_[at_] == '<') return Markup();
  const void* lt = std::memchr(xml_.data() + at_, '<', xml_.size() - at_);
  const std::size_t end =
      lt == nullptr ? xml_.size()
                    : static_cast<std::size_t>(static_cast<const char*>(lt) - xml_.data());
  if (lt == nullptr && !complete_) {
    token.kind = TokenKind::kIncomplete;
    return token;
  }
  token.kind = TokenKind::kText;
  token.text = xml_.substr(at_, end - at_);
  at_ = end;
  return token;
}

XmlToken XmlTokenizer::Markup() {
  const std::size_t open = at_;
  if (open + 1 >= xml_.size()) return Skipped(open, ">");
  const char second = xml_[open + 1];
  if (second == '/') return EndTag(open);
  if (second == '?') return Skipped(open, "?>");
  if (second == '!') {
    const std::string_view rest = xml_.substr(open);
    if (rest.starts_with("<!--")) return Skipped(open, "-->");
    if (rest.starts_with("<![CDATA[")) return CData(open);
    if (rest.size() < 9 && std::string_view("<![CDATA[").starts_with(rest)) {
      XmlToken token;
      token.kind = TokenKind::kIncomplete;
      return token;
    }
    return Skipped(open, ">");
  }
  return StartTag(open);
}

// Quoted attribute values may hold ">", so the tag ends at the first ">" outside quotes.
XmlToken XmlTokenizer::StartTag(std::size_t open) {
  XmlToken token;
  std::size_t at = open + 1;
  while (at < xml_.size() && !EndsName(xml_[at]))
    ++at;
  const std::size_t name_end = at;
  while (at < xml_.size() && xml_[at] != '>') {
    const char c = xml_[at];
    if (c == '"' || c == '\'') {
      at = Find(c, at + 1);  // the closing quote
      if (at == xml_.size()) break;
    }
    ++at;
  }
  if (at >= xml_.size()) {
    token.kind = TokenKind::kIncomplete;
    return token;
  }
  token.kind = TokenKind::kStartTag;
  token.name = LocalName(xml_.substr(open + 1, name_end - open - 1));
  token.self_closing = at > name_end && xml_[at - 1] == '/';
  const std::size_t attributes_end = token.self_closing ? at - 1 : at;
  token.attributes = xml_.substr(name_end, attributes_end - name_end);
  at_ = at + 1;
  return token;
}

XmlToken XmlTokenizer::EndTag(std::size_t open) {
  XmlToken token;
  const std::size_t close = Find('>', open);
  if (close == xml_.size()) {
    token.kind = TokenKind::kIncomplete;
    return token;
  }
  std::size_t name_end = open + 2;
  while (name_end < close && !IsXmlSpace(xml_[name_end]))
    ++name_end;
  token.kind = TokenKind::kEndTag;
  token.name = LocalName(xml_.substr(open + 2, name_end - open - 2));
  at_ = close + 1;
  return token;
}

XmlToken XmlTokenizer::Skipped(std::size_t open, std::string_view terminator) {
  XmlToken token;
  const std::size_t close = xml_.find(terminator, open + 1);
  if (close == std::string_view::npos) {
    token.kind = TokenKind::kIncomplete;
    return token;
  }
  token.kind = TokenKind::kOther;
  at_ = close + terminator.size();
  return token;
}

XmlToken XmlTokenizer::CData(std::size_t open) {
  XmlToken token;
  constexpr std::size_t kOpenLength = 9;  // "<![CDATA["
  const std::size_t close = xml_.find("]]>", open + kOpenLength);
  if (close == std::string_view::npos) {
    token.kind = TokenKind::kIncomplete;
    return token;
  }
  token.kind = TokenKind::kCData;
  token.text = xml_.substr(open + kOpenLength, close - open - kOpenLength);
  at_ = close + 3;
  return token;
}

}  // namespace drumlo
