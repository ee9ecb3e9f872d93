#include "generator/row_reader.h"

#include "xmlscan/element_access.h"

namespace drumlo {
namespace {

constexpr TextView kCellName = u"Cell";
constexpr TextView kDataName = u"Data";
constexpr TextView kRichDataName = u"ss:Data";
constexpr TextView kCommentName = u"Comment";

bool IsMissing(TextView result) {
  return result == kNotFound;
}

// A spreadsheet program writes a cell's note as a Comment element with its own Data inside the
// Cell; a note is not the cell's value, so it is cut out before the value is looked for.
TextView WithoutComments(TextView cell, Text& storage) {
  if (cell.find(u"<Comment") == TextView::npos) return cell;
  storage.clear();
  Position cursor = 0;
  Position kept_until = 0;  // 0-based end of the part already copied
  for (;;) {
    const TextView comment = GetElementFrom(cell, u"Comment", cursor, 1);
    if (IsMissing(comment)) break;
    const auto start = static_cast<std::size_t>(comment.data() - cell.data());
    storage.append(cell.substr(static_cast<std::size_t>(kept_until), start - kept_until));
    kept_until = static_cast<Position>(start + comment.size());
  }
  if (kept_until == 0) return cell;
  storage.append(cell.substr(static_cast<std::size_t>(kept_until)));
  return storage;
}

}  // namespace

// A walk that succeeds on the part of the document already there reads exactly what it would
// read on the whole: every search it makes stops at a unit inside that part. Anything short of
// success is decided again once more text is there, and by the accessors on the whole text.
bool RowReader::NextRow(TextView& content) {
  walked_ = false;
  for (;;) {
    bool complete = false;
    const TextView text = source_.Now(complete);
    if (use_walk_ && WalkNextRow(text, content)) return true;
    if (complete) {
      document_ = text;
      break;
    }
    // The next try waits for at least as much new text as this one went through, so that a
    // row as long as the document is not walked again for every piece.
    source_.WaitBeyond(text.size() + (text.size() - static_cast<std::size_t>(row_cursor_)));
  }
  // The accessors search again from the same cursor and reach the same start tag.
  content = GetContentFrom(document_, u"Row", row_cursor_, 1);
  if (IsMissing(content)) return false;
  row_content_ = content;
  cell_cursor_ = 0;
  return true;
}

bool RowReader::WalkNextRow(TextView text, TextView& content) {
  const std::size_t start = FindStartTag(text, static_cast<std::size_t>(row_cursor_), u"Row");
  if (start == TextView::npos || !walk_.Walk(text, start)) return false;
  const WalkedElement& row = walk_.Elements().front();
  document_ = text;
  walked_ = true;
  next_element_ = 1;
  content = row.Content(text);
  row_cursor_ = static_cast<Position>(row.outer_end);
  return true;
}

bool RowReader::NextCell(CellParts& cell) {
  return walked_ ? NextWalkedCell(cell) : NextScannedCell(cell);
}

bool RowReader::NextScannedCell(CellParts& cell) {
  const TextView whole = GetElementFrom(row_content_, u"Cell", cell_cursor_, 1);
  if (IsMissing(whole)) return false;
  TakeScannedParts(whole, cell);
  return true;
}

void RowReader::TakeScannedParts(TextView whole, CellParts& cell) {
  cell.whole = whole;
  cell.index_attr = GetAttribute(whole, u"Cell", 1, u"ss:Index");
  const TextView body = WithoutComments(whole, body_storage_);
  cell.value = GetContent(body, u"Data", 1);
  if (IsMissing(cell.value)) cell.value = GetContent(body, u"ss:Data", 1);
}

// The next Cell element of the walk that begins after the previous cell ended, as a cursor
// search finds it; its first Data and ss:Data elements are the first ones walked inside it.
bool RowReader::NextWalkedCell(CellParts& cell) {
  const std::vector<WalkedElement>& elements = walk_.Elements();
  while (next_element_ < elements.size() && elements[next_element_].Name(document_) != kCellName)
    ++next_element_;
  if (next_element_ >= elements.size()) return false;
  const WalkedElement& found = elements[next_element_];
  std::size_t inner = next_element_ + 1;
  next_element_ = inner;
  while (next_element_ < elements.size() && elements[next_element_].tag_start < found.outer_end)
    ++next_element_;

  const WalkedElement* data = nullptr;
  const WalkedElement* rich_data = nullptr;
  for (; inner < next_element_; ++inner) {
    const TextView name = elements[inner].Name(document_);
    if (name == kCommentName) {
      TakeScannedParts(found.Whole(document_), cell);  // notes are cut from a copy
      return true;
    }
    if (data == nullptr && name == kDataName) data = &elements[inner];
    if (rich_data == nullptr && name == kRichDataName) rich_data = &elements[inner];
  }
  cell.whole = found.Whole(document_);
  cell.index_attr = AttributeValueIn(found.AttributeRegion(document_), u"ss:Index");
  if (data != nullptr) {
    cell.value = data->Content(document_);
  } else if (rich_data != nullptr) {
    cell.value = rich_data->Content(document_);
  } else {
    cell.value = kNotFound;
  }
  return true;
}

}  // namespace drumlo
