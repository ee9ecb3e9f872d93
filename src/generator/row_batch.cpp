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

void RowBatch::AddCell(TextView value_with_tags, TextView attributes) {
  cells_.push_back({KeepFound(value_with_tags), Keep(attributes)});
  ++rows_.back().cell_count;
}

// Whether a value is there is decided before its tags are stripped: "^ERROR<b/>" is a value.
CellFacts RowBatch::FactsOf(const BatchCell& cell, Text& stripped) const {
  CellFacts facts;
  facts.has_value = cell.value.Present();
  facts.value = TextOf(cell.value);
  if (facts.value.find(u'<') != TextView::npos) {
    stripped = StripTags(facts.value);
    facts.value = stripped;
  }
  const TextView attributes = TextOf(cell.attributes);
  facts.index = AttributeValueIn(attributes, u"ss:Index");
  facts.merge_across = AttributeValueIn(attributes, u"ss:MergeAcross");
  return facts;
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
