#include "generator/row_batch.h"

#include "xmlscan/element_access.h"
#include "xmlscan/scan_primitives.h"

namespace drumlo {
namespace {

constexpr std::size_t kRowsPerBatch = 512;
constexpr std::size_t kTextUnitsPerBatch = std::size_t{1} << 18;

}  // namespace

void RowBatch::Clear() {
  rows_.clear();
  cells_.clear();
  texts_.clear();
  new_sheets_.clear();
}

void RowBatch::AddSheet(TextView name) {
  new_sheets_.emplace_back(name);
}

void RowBatch::AddRow(std::uint32_t sheet, TextView index) {
  rows_.push_back({sheet, KeepFound(index), static_cast<std::uint32_t>(cells_.size()), 0});
}

// Whether a value is there is decided before its tags are stripped: "^ERROR<b/>" is a value.
void RowBatch::AddCell(TextView value_with_tags, TextView index, TextView merge_across) {
  BatchCell cell;
  if (value_with_tags == kNotFound) {
    // no value
  } else if (value_with_tags.find(u'<') == TextView::npos) {
    cell.value = Keep(value_with_tags);
  } else {
    cell.value = Keep(StripTags(value_with_tags));
  }
  cell.index = KeepFound(index);
  cell.merge_across = KeepFound(merge_across);
  cells_.push_back(cell);
  ++rows_.back().cell_count;
}

BatchText RowBatch::KeepFound(TextView text) {
  return text == kNotFound ? BatchText{} : Keep(text);
}

BatchText RowBatch::Keep(TextView text) {
  const BatchText kept{static_cast<std::uint32_t>(texts_.size()),
                       static_cast<std::uint32_t>(text.size())};
  texts_.append(text);
  return kept;
}

TextView RowBatch::TextOf(BatchText text) const {
  if (!text.Present()) return TextView();
  return TextView(texts_).substr(text.begin, text.size);
}

bool RowBatch::Full() const {
  return rows_.size() >= kRowsPerBatch || texts_.size() >= kTextUnitsPerBatch;
}

}  // namespace drumlo
