#include "workbook/cell_text.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "fileio/utf8.h"

namespace drumlo {
namespace {

// Characters that need no decoding and no escaping: values made only of these are copied.
bool IsPlainByte(char c, bool string_text) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x80 && c != '&' && c != '<' && c != '>' && c != '\r' && c != '\n' &&
         !(string_text && c == '_');
}

bool AllPlain(std::string_view raw, bool string_text) {
  for (const char c : raw) {
    if (!IsPlainByte(c, string_text)) return false;
  }
  return true;
}

void AppendAscii(std::string_view raw, Text& out) {
  out.append(raw.begin(), raw.end());
}

int HexDigit(char16_t c) {
  return DigitValue(c, 16);
}

void AppendCodePoint(char32_t code_point, Text& out) {
  if (code_point < 0x10000) {
    out.push_back(static_cast<char16_t>(code_point));
    return;
  }
  out.push_back(static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF)));
}

// The character an entity or character reference names (without "&" and ";"), or nothing.
std::optional<char32_t> EntityValue(std::string_view name) {
  if (name == "amp") return U'&';
  if (name == "lt") return U'<';
  if (name == "gt") return U'>';
  if (name == "quot") return U'"';
  if (name == "apos") return U'\'';
  if (name.size() < 2 || name[0] != '#') return std::nullopt;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  char32_t value = 0;
  for (const char c : digits) {
    const int digit = DigitValue(static_cast<unsigned char>(c), hex ? 16 : 10);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
  }
  const bool valid = value != 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
  if (!valid) return std::nullopt;
  return value;
}

void AppendUtf8Run(std::string_view bytes, Text& out) {
  AppendUtf8Decoded(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                    out);
}

// How literal white space in character data is read.
enum class WhiteSpace { kText, kAttribute };

// Reads CR LF and lone CR as LF in the units appended from `from` on, as XML reads line ends;
// in an attribute value every tab, CR and LF then reads as a space.
void NormalizeWhiteSpace(Text& out, std::size_t from, WhiteSpace mode) {
  std::size_t write = from;
  for (std::size_t read = from; read < out.size(); ++read) {
    char16_t unit = out[read];
    if (unit == u'\r') {
      unit = u'\n';
      if (read + 1 < out.size() && out[read + 1] == u'\n') ++read;
    }
    if (mode == WhiteSpace::kAttribute && (unit == u'\n' || unit == u'\t')) unit = u' ';
    out[write++] = unit;
  }
  out.resize(write);
}

// Literal characters are normalized run by run, before the references after them are added:
// a CR or LF written as a reference stays what it is.
void AppendCharacterData(std::string_view raw, Text& out, bool literal, WhiteSpace mode) {
  std::size_t at = 0;
  while (at < raw.size()) {
    const std::size_t amp = literal ? std::string_view::npos : raw.find('&', at);
    const std::size_t run_end = amp == std::string_view::npos ? raw.size() : amp;
    const std::size_t run_start = out.size();
    AppendUtf8Run(raw.substr(at, run_end - at), out);
    NormalizeWhiteSpace(out, run_start, mode);
    if (run_end == raw.size()) return;
    const std::size_t semicolon = raw.find(';', amp + 1);
    const std::optional<char32_t> value =
        semicolon == std::string_view::npos ? std::nullopt
                                            : EntityValue(raw.substr(amp + 1, semicolon - amp - 1));
    if (!value) {
      out.push_back(u'&');  // not a reference: the ampersand stands for itself
      at = amp + 1;
      continue;
    }
    AppendCodePoint(*value, out);
    at = semicolon + 1;
  }
}

}  // namespace

void AppendXmlText(std::string_view raw, Text& out, bool literal) {
  AppendCharacterData(raw, out, literal, WhiteSpace::kText);
}

void AppendWithoutOfficeEscapes(TextView text, Text& out) {
  constexpr std::size_t kEscapeLength = 7;  // "_xHHHH_"
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t underscore = text.find(u'_', at);
    if (underscore == TextView::npos) break;
    out.append(text.substr(at, underscore - at));
    at = underscore;
    const bool escape = text.size() - at >= kEscapeLength && text[at + 1] == u'x' &&
                        text[at + 6] == u'_' && HexDigit(text[at + 2]) >= 0 &&
                        HexDigit(text[at + 3]) >= 0 && HexDigit(text[at + 4]) >= 0 &&
                        HexDigit(text[at + 5]) >= 0;
    if (!escape) {
      out.push_back(u'_');
      ++at;
      continue;
    }
    out.push_back(static_cast<char16_t>(HexDigit(text[at + 2]) << 12 | HexDigit(text[at + 3]) << 8 |
                                        HexDigit(text[at + 4]) << 4 | HexDigit(text[at + 5])));
    at += kEscapeLength;
  }
  out.append(text.substr(std::min(at, text.size())));
}

void AppendSpreadsheetEscaped(TextView text, Text& out) {
  static constexpr std::pair<char16_t, TextView> kEscapes[] = {
      {u'&', u"&amp;"}, {u'<', u"&lt;"}, {u'>', u"&gt;"}, {u'\n', u"&#10;"}, {u'\r', u"&#13;"}};
  for (const char16_t unit : text) {
    const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                      [&](const auto& e) { return e.first == unit; });
    if (escape == std::end(kEscapes)) {
      out.push_back(unit);
    } else {
      out.append(escape->second);
    }
  }
}

Text AttributeText(std::string_view raw) {
  Text text;
  AppendCharacterData(raw, text, false, WhiteSpace::kAttribute);
  return text;
}

void CellTextDecoder::AppendString(std::string_view raw, Text& out, bool literal) {
  if (AllPlain(raw, true)) {
    AppendAscii(raw, out);
    return;
  }
  decoded_.clear();
  AppendXmlText(raw, decoded_, literal);
  unescaped_.clear();
  AppendWithoutOfficeEscapes(decoded_, unescaped_);
  AppendSpreadsheetEscaped(unescaped_, out);
}

void CellTextDecoder::AppendPlain(std::string_view raw, Text& out, bool literal) {
  if (AllPlain(raw, false)) {
    AppendAscii(raw, out);
    return;
  }
  decoded_.clear();
  AppendXmlText(raw, decoded_, literal);
  AppendSpreadsheetEscaped(decoded_, out);
}

}  // namespace drumlo
