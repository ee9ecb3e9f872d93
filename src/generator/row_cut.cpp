#include "generator/row_cut.h"

#include <vector>

#include "xmlscan/element_access.h"

namespace drumlo {
namespace {

constexpr TextView kRowName = u"Row";
constexpr TextView kCellName = u"Cell";
constexpr TextView kDataName = u"Data";
constexpr TextView kRichDataName = u"ss:Data";
constexpr TextView kCommentName = u"Comment";
constexpr TextView kIndexAttribute = u"ss:Index";

bool IsMissing(TextView result) {
  return result == kNotFound;
}

// A spreadsheet program writes a cell's note as a Comment element with its own Data inside the
// Cell; a note is not the cell's value, so it is cut out before the value is looked for.
TextView WithoutComments(TextView cell, Text& storage) {
  if (cell.find(u"<Comment") == TextView::npos) return cell;
  storage.clear();
  Position cursor = 0;
  std::size_t kept_until = 0;  // 0-based end of the part already copied
  for (;;) {
    const TextView comment = GetElementFrom(cell, kCommentName, cursor, 1);
    if (IsMissing(comment)) break;
    const auto start = static_cast<std::size_t>(comment.data() - cell.data());
    storage.append(cell.substr(kept_until, start - kept_until));
    kept_until = start + comment.size();
  }
  if (kept_until == 0) return cell;
  storage.append(cell.substr(kept_until));
  return storage;
}

// A cell read with the accessors: its value is the content of its first Data, else ss:Data.
void AddAccessedCell(TextView whole, TextView attributes, RowBatch& batch) {
  Text storage;
  DocumentScanner values(WithoutComments(whole, storage));
  TextView value = values.GetContent(kDataName, 1);
  if (IsMissing(value)) value = values.GetContent(kRichDataName, 1);
  batch.AddCell(value, attributes);
}

// The next Cell of the walk begins after the previous one ended, as a cursor search finds it;
// its first Data and ss:Data elements are the first ones walked inside it. Returns the index
// of the element after the cell.
std::size_t AddWalkedCell(TextView text, const std::vector<Extent>& elements, std::size_t at,
                          RowBatch& batch) {
  const Extent& cell = elements[at];
  std::size_t after = at + 1;
  while (after < elements.size() && elements[after].tag_start < cell.outer_end)
    ++after;
  const Extent* data = nullptr;
  const Extent* rich_data = nullptr;
  for (std::size_t inner = at + 1; inner < after; ++inner) {
    const TextView name = elements[inner].Name(text);
    if (name == kCommentName) {  // notes are cut from a copy
      AddAccessedCell(cell.Whole(text), cell.AttributeRegion(text), batch);
      return after;
    }
    if (data == nullptr && name == kDataName) data = &elements[inner];
    if (rich_data == nullptr && name == kRichDataName) rich_data = &elements[inner];
  }
  // A content that reads "^ERROR" is what the accessors give for a missing element.
  TextView value = data != nullptr ? data->Content(text) : kNotFound;
  if (IsMissing(value)) value = rich_data != nullptr ? rich_data->Content(text) : kNotFound;
  batch.AddCell(value, cell.AttributeRegion(text));
  return after;
}

}  // namespace

RowCut CutWalkedRow(TextView text, std::size_t start, std::uint32_t sheet, ElementWalk& walk,
                    RowBatch& batch, std::size_t& next) {
  switch (walk.Walk(text, start)) {
    case WalkResult::kWalked:
      break;
    case WalkResult::kCutShort:
      return RowCut::kNeedMoreText;
    case WalkResult::kCannotVouch:
      return RowCut::kNeedWholeText;
  }
  const std::vector<Extent>& elements = walk.Elements();
  const Extent& row = elements.front();
  if (IsMissing(row.Content(text))) return RowCut::kNoRow;
  batch.AddRow(sheet, AttributeValueIn(row.AttributeRegion(text), kIndexAttribute));
  for (std::size_t at = 1; at < elements.size();) {
    if (elements[at].Name(text) == kCellName) {
      at = AddWalkedCell(text, elements, at, batch);
    } else {
      ++at;
    }
  }
  next = row.outer_end;
  return RowCut::kCut;
}

RowCut CutAccessedRow(DocumentScanner& document, std::size_t from, std::uint32_t sheet,
                      RowBatch& batch, std::size_t& next) {
  const TextView text = document.text();
  Position cursor = static_cast<Position>(from);
  const TextView content = document.GetContentFrom(kRowName, cursor, 1);
  if (IsMissing(content)) return RowCut::kNoRow;
  // The row the accessors found opens at the first row start tag after the cursor; its
  // attributes end at the ">" (or "/") just before its content.
  const std::size_t name_end = FindStartTag(text, from, kRowName) + 1 + kRowName.size();
  const auto content_start = static_cast<std::size_t>(content.data() - text.data());
  batch.AddRow(sheet, AttributeValueIn(text.substr(name_end, content_start - 1 - name_end),
                                       kIndexAttribute));
  DocumentScanner row(content);
  Position cell_cursor = 0;
  for (;;) {
    TextView attributes;
    const TextView whole = row.GetElementFrom(kCellName, cell_cursor, 1, attributes);
    if (IsMissing(whole)) break;
    AddAccessedCell(whole, attributes, batch);
  }
  next = static_cast<std::size_t>(cursor);
  return RowCut::kCut;
}

}  // namespace drumlo
