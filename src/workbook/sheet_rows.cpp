#include "workbook/sheet_rows.h"

#include <limits>
#include <optional>

#include "workbook/xml_tokens.h"

namespace drumlo {
namespace {

constexpr std::uint32_t kLargestRowNumber = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kLongestColumnName = 3;  // "XFD" is the last column a workbook has
constexpr std::uint32_t kLargestColumn = 26 * 26 * 26 + 26 * 26 + 26;  // "ZZZ"

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::uint32_t LetterValue(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<std::uint32_t>(c - 'A' + 1);
  if (c >= 'a' && c <= 'z') return static_cast<std::uint32_t>(c - 'a' + 1);
  return 0;
}

// A row number: decimal digits only, 1 to the largest a run can count.
std::optional<std::uint32_t> RowNumberOf(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value == 0 || value > kLargestRowNumber) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::uint32_t ColumnOfReference(std::string_view reference) {
  std::uint32_t column = 0;
  std::size_t letters = 0;
  while (letters < reference.size() && LetterValue(reference[letters]) != 0) {
    column = column * 26 + LetterValue(reference[letters]);
    ++letters;
  }
  if (letters == 0 || letters > kLongestColumnName) return 0;
  if (!RowNumberOf(reference.substr(letters))) return 0;
  return column;
}

// ---------------------------------------------------------------------------------------------

ElementRead SharedStrings::ReadItem(std::string_view xml, bool complete, std::size_t from,
                                    std::size_t& next) {
  const std::size_t start = units_.size();
  bool in_text = false;
  int phonetic_depth = 0;
  const auto visit = [&](const XmlToken& token) {
    const bool opens = token.kind == TokenKind::kStartTag && !token.self_closing;
    if (opens && token.name == "t") in_text = phonetic_depth == 0;
    if (opens && token.name == "rPh") ++phonetic_depth;
    if (token.kind == TokenKind::kEndTag && token.name == "t") in_text = false;
    if (token.kind == TokenKind::kEndTag && token.name == "rPh" && phonetic_depth > 0) {
      --phonetic_depth;
    }
    const bool text = token.kind == TokenKind::kText || token.kind == TokenKind::kCData;
    if (text && in_text) decoder_.AppendString(token.text, units_, token.kind == TokenKind::kCData);
    return true;
  };
  const ElementRead read = ReadElement(xml, complete, from, visit, next);
  if (read == ElementRead::kDone) {
    starts_.push_back(units_.size());
  } else {
    units_.resize(start);
  }
  return read;
}

// ---------------------------------------------------------------------------------------------

ElementRead RowParser::Read(std::string_view xml, bool complete, std::size_t from,
                            std::uint32_t previous_number, std::size_t& next) {
  cells_.clear();
  units_.clear();
  in_cell_ = false;
  last_column_ = 0;
  bool at_start = true;
  const auto visit = [&](const XmlToken& token) {
    if (!at_start) return Take(token);
    at_start = false;
    return TakeRowStart(token.attributes, previous_number);
  };
  return ReadElement(xml, complete, from, visit, next);
}

bool RowParser::TakeRowStart(std::string_view attributes, std::uint32_t previous_number) {
  const std::optional<std::string_view> reference = AttributeValue(attributes, "r");
  if (!reference) {
    number_ = previous_number + 1;
    return previous_number < kLargestRowNumber;
  }
  const std::optional<std::uint32_t> number = RowNumberOf(*reference);
  if (number) number_ = *number;
  return number.has_value();
}

bool RowParser::Take(const XmlToken& token) {
  switch (token.kind) {
    case TokenKind::kStartTag:
      return StartElement(token);
    case TokenKind::kEndTag:
      return EndElement(token.name);
    case TokenKind::kText:
    case TokenKind::kCData:
      if (in_cell_) TakeText(token.text, token.kind == TokenKind::kCData);
      return true;
    default:
      return true;
  }
}

// Only the cell's own value elements count: a v directly in the cell, an is directly in it, and
// the t elements of the inline string (directly or in a run), not those of a phonetic run.
bool RowParser::StartElement(const XmlToken& token) {
  if (token.name == "c") {
    if (in_cell_ && !EndCell()) return false;
    if (!BeginCell(token.attributes)) return false;
    return !token.self_closing || EndCell();
  }
  if (!in_cell_) return true;
  const int depth = cell_.depth;
  if (!token.self_closing) ++cell_.depth;
  if (depth == 0 && token.name == "v") {
    cell_.in_value = !token.self_closing;
    cell_.value_seen = true;  // an empty <v/> is a value of no characters
  } else if (depth == 0 && token.name == "is") {
    cell_.in_inline = !token.self_closing;
    cell_.inline_seen = true;
  } else if (cell_.in_inline && depth <= 2 && token.name == "t" && !token.self_closing) {
    cell_.in_text = cell_.phonetic_depth == 0;
  } else if (cell_.in_inline && token.name == "rPh" && !token.self_closing) {
    ++cell_.phonetic_depth;
  }
  return true;
}

bool RowParser::EndElement(std::string_view name) {
  if (!in_cell_) return true;
  if (name == "c" || name == "row") return EndCell();
  if (cell_.depth > 0) --cell_.depth;
  if (cell_.depth == 0) cell_.in_value = false;
  if (cell_.depth == 0) cell_.in_inline = false;
  if (name == "t") cell_.in_text = false;
  if (name == "rPh" && cell_.phonetic_depth > 0) --cell_.phonetic_depth;
  return true;
}

bool RowParser::BeginCell(std::string_view attributes) {
  cell_ = CellState{};
  cell_.value_start = units_.size();
  std::optional<std::string_view> reference;
  std::string_view type;
  const bool readable =
      ForEachAttribute(attributes, [&](std::string_view name, std::string_view value) {
        if (name == "r") reference = value;
        if (name == "t") type = value;
      });
  if (!readable) return false;
  if (reference) {
    cell_.column = ColumnOfReference(*reference);
    if (cell_.column == 0) return false;
  } else {
    if (last_column_ >= kLargestColumn) return false;
    cell_.column = last_column_ + 1;
  }
  last_column_ = cell_.column;
  if (type == "s") {
    cell_.type = CellType::kShared;
  } else if (type == "inlineStr") {
    cell_.type = CellType::kInline;
  } else if (type == "str") {
    cell_.type = CellType::kFormulaString;
  } else {
    cell_.type = CellType::kPlain;  // numbers, booleans, error values, ISO dates: as stored
  }
  in_cell_ = true;
  return true;
}

void RowParser::TakeText(std::string_view raw, bool literal) {
  switch (cell_.type) {
    case CellType::kShared:
      if (cell_.in_value) TakeSharedIndex(raw);
      break;
    case CellType::kInline:
      if (cell_.in_text) decoder_.AppendString(raw, units_, literal);
      break;
    case CellType::kFormulaString:
      if (cell_.in_value) decoder_.AppendString(raw, units_, literal);
      break;
    case CellType::kPlain:
      if (cell_.in_value) decoder_.AppendPlain(raw, units_, literal);
      break;
  }
}

void RowParser::TakeSharedIndex(std::string_view raw) {
  for (const char c : raw) {
    if (internal::IsXmlSpace(c)) continue;
    if (!IsDigit(c) || cell_.shared_index > std::numeric_limits<std::uint32_t>::max()) {
      cell_.index_readable = false;
      return;
    }
    cell_.shared_index = cell_.shared_index * 10 + static_cast<std::uint64_t>(c - '0');
    cell_.index_digits = true;
  }
}

// A cell has a value when its type's value element is there: a formula without a cached value
// has none, nor has a cell that carries only a style.
bool RowParser::EndCell() {
  in_cell_ = false;
  bool has_value = false;
  switch (cell_.type) {
    case CellType::kShared:
      has_value = cell_.value_seen && (cell_.index_digits || !cell_.index_readable);
      if (has_value && (!cell_.index_readable || cell_.shared_index >= shared_.Count())) {
        return false;
      }
      break;
    case CellType::kInline:
      has_value = cell_.inline_seen;
      break;
    case CellType::kFormulaString:
      has_value = cell_.value_seen;
      break;
    case CellType::kPlain:
      has_value = units_.size() > cell_.value_start;
      break;
  }
  if (!has_value) {
    units_.resize(cell_.value_start);
    return true;
  }
  if (cell_.type == CellType::kShared) {
    cells_.push_back({cell_.column, true, static_cast<std::size_t>(cell_.shared_index), 0});
  } else {
    cells_.push_back({cell_.column, false, cell_.value_start, units_.size() - cell_.value_start});
  }
  return true;
}

}  // namespace drumlo
