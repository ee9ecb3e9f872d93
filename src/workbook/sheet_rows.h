// The row-level parsing of worksheet and shared-string XML: one `row` or `si` element at a
// time, from bytes that may end before the element does. Internal to the xlsx reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "workbook/cell_text.h"
#include "workbook/xml_tokens.h"

namespace drumlo {

enum class ElementRead : std::uint8_t { kDone, kNeedMore, kMalformed };

// The shared strings, their values kept end to end in one text.
class SharedStrings {
 public:
  // Reads the `si` element at `from`; on kDone `next` is where the element ends.
  [[nodiscard]] ElementRead ReadItem(std::string_view xml, bool complete, std::size_t from,
                                     std::size_t& next);
  [[nodiscard]] std::size_t Count() const { return starts_.size() - 1; }
  [[nodiscard]] TextView At(std::size_t index) const {
    return TextView(units_).substr(starts_[index], starts_[index + 1] - starts_[index]);
  }

 private:
  Text units_;
  std::vector<std::size_t> starts_ = {0};
  CellTextDecoder decoder_;
};

// Walks the tokens of the element whose start tag is at `from`, up to its end tag, handing
// each to `visit` (the start tag first); `visit` answers false for a token it cannot accept. On
// kDone `next` is where the element ends.
template <typename Visit>
ElementRead ReadElement(std::string_view xml, bool complete, std::size_t from, Visit&& visit,
                        std::size_t& next) {
  XmlTokenizer tokens(xml, complete, from);
  const XmlToken open = tokens.Next();
  if (!visit(open)) return ElementRead::kMalformed;
  bool closed = open.self_closing;
  while (!closed) {
    const XmlToken token = tokens.Next();
    if (token.kind == TokenKind::kIncomplete || token.kind == TokenKind::kEnd) {
      return complete ? ElementRead::kMalformed : ElementRead::kNeedMore;
    }
    if (!visit(token)) return ElementRead::kMalformed;
    closed = token.kind == TokenKind::kEndTag && token.name == open.name;
  }
  next = tokens.Offset();
  return ElementRead::kDone;
}

// A parsed row; cell values lie in the row's own text or among the shared strings.
struct ParsedCell {
  std::uint32_t column;
  bool shared;
  std::size_t start;  // shared: index of the string; else where the value begins in units
  std::size_t length;
};

class RowParser {
 public:
  explicit RowParser(const SharedStrings& shared) : shared_(shared) {}

  // Reads the `row` element at `from`, numbered after `previous_number` unless it carries its
  // own. On kDone `next` is where the element ends.
  [[nodiscard]] ElementRead Read(std::string_view xml, bool complete, std::size_t from,
                                 std::uint32_t previous_number, std::size_t& next);

  [[nodiscard]] std::uint32_t Number() const { return number_; }
  [[nodiscard]] const std::vector<ParsedCell>& Cells() const { return cells_; }
  [[nodiscard]] TextView Value(const ParsedCell& cell) const {
    return cell.shared ? shared_.At(cell.start) : TextView(units_).substr(cell.start, cell.length);
  }

 private:
  enum class CellType : std::uint8_t { kShared, kInline, kFormulaString, kPlain };
  struct CellState {
    std::uint32_t column = 0;
    CellType type = CellType::kPlain;
    std::size_t value_start = 0;
    std::uint64_t shared_index = 0;
    bool index_readable = true;
    bool index_digits = false;
    bool in_value = false;
    bool value_seen = false;
    bool in_inline = false;
    bool inline_seen = false;
    bool in_text = false;
    int phonetic_depth = 0;
    int depth = 0;  // elements open inside the cell
  };

  [[nodiscard]] bool TakeRowStart(std::string_view attributes, std::uint32_t previous_number);
  [[nodiscard]] bool Take(const XmlToken& token);
  [[nodiscard]] bool StartElement(const XmlToken& token);
  [[nodiscard]] bool EndElement(std::string_view name);
  [[nodiscard]] bool BeginCell(std::string_view attributes);
  // False when the cell's value cannot be read (a shared string that is not there).
  [[nodiscard]] bool EndCell();
  void TakeText(std::string_view raw, bool literal);
  void TakeSharedIndex(std::string_view raw);

  const SharedStrings& shared_;
  std::uint32_t number_ = 0;
  std::vector<ParsedCell> cells_;
  Text units_;
  CellState cell_;
  bool in_cell_ = false;
  std::uint32_t last_column_ = 0;
  CellTextDecoder decoder_;
};

// The 1-based column of a cell reference ("B7" gives 2); 0 when it is not one.
[[nodiscard]] std::uint32_t ColumnOfReference(std::string_view reference);

}  // namespace drumlo
