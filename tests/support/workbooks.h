// Workbooks for tests: builders of SpreadsheetML text, random documents, and the list files a
// run writes read back as text.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "common/text.h"
#include "fileio/file_access.h"

namespace drumlo {

// A cell holding a string value, with an ss:Index when `index` is not 0.
[[nodiscard]] std::string Cell(const std::string& value, int index = 0);
[[nodiscard]] std::string Row(const std::vector<std::string>& cells);
// A workbook of one worksheet holding `rows`.
[[nodiscard]] std::string Sheet(const std::string& rows);
// The header INDEX, PAK, XML, NAME and a song row for it (XML value: the package and "x").
// Inline, so that it is made before any constant built from it further down a test file.
inline const std::string kHeader = Row({Cell("INDEX"), Cell("PAK"), Cell("XML"), Cell("NAME")});
[[nodiscard]] std::string Song(int index, const std::string& pak, const std::string& name = "n");

// Workbook-like text: rows of cells with values, notes, rich text and ss:Index, mixed with
// markup that the walk of ordinary rows gives up on; sometimes cut short.
[[nodiscard]] Text RandomWorkbook(std::mt19937& rng);

// A list file's text after its byte-order mark, for readable comparisons; a text saying what
// is wrong when the bytes are no UTF-16LE text with that mark.
[[nodiscard]] Text ListText(const Bytes& bytes);

}  // namespace drumlo
