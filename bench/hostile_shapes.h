// Workbooks of the input shapes that once made the scanner slow, each grown by one number n:
// every one has a header row (INDEX, PAK, XML, NAME) and gives the right lists; only the hostile
// part grows. The text is plain ASCII, so it reads the same as UTF-8 and, unit for unit, as
// UTF-16. Used by the shape benchmark and, at small n, by the scanner's comparison tests.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace drumlo::shapes {

struct Shape {
  const char* name;
  const char* what;                // n counts this
  std::vector<std::size_t> sizes;  // n for the benchmark's table
  std::string (*build)(std::size_t n);
};

inline std::string Repeat(const std::string& piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t k = 0; k < times; ++k)
    out += piece;
  return out;
}

inline std::string Cell(const std::string& value) {
  return "<Cell><Data ss:Type=\"String\">" + value + "</Data></Cell>";
}

inline std::string RichCell(const std::string& markup) {
  return "<Cell><ss:Data ss:Type=\"String\" xmlns=\"http://www.w3.org/TR/REC-html40\">" + markup +
         "</ss:Data></Cell>";
}

// A row's first three cells; the fourth, NAME, is the caller's.
inline std::string SongStart(std::size_t index) {
  const std::string id = std::to_string(5000 + index);
  return "<Row>" + Cell(id) + Cell("p") + Cell("s" + id);
}

inline std::string Song(std::size_t index, const std::string& name_cell) {
  return SongStart(index) + name_cell + "</Row>\n";
}

inline std::string Book(const std::string& rows) {
  return "<?xml version=\"1.0\"?>\n<Workbook><Worksheet><Table>\n<Row>" + Cell("INDEX") +
         Cell("PAK") + Cell("XML") + Cell("NAME") + "</Row>\n" + rows +
         "</Table></Worksheet></Workbook>\n";
}

inline std::string Numbered(const std::string& head, std::size_t n, const std::string& tail,
                            bool reverse = false) {
  std::string out;
  for (std::size_t k = 0; k < n; ++k)
    out += head + std::to_string(reverse ? n - 1 - k : k) + tail;
  return out;
}

inline std::string DeepNesting(std::size_t n) {
  return Book(Song(1, RichCell(Repeat("<b>", n) + "x" + Repeat("</b>", n))));
}

inline std::string UnclosedRichText(std::size_t n) {
  std::string rows;
  for (std::size_t k = 0; k < n; ++k)
    rows += Song(k, RichCell("<U>Song " + std::to_string(k)));
  return Book(rows);
}

inline std::string StrayInstructionPerRow(std::size_t n) {
  std::string rows;
  for (std::size_t k = 0; k < n; ++k)
    rows += SongStart(k) + Cell("Song " + std::to_string(k)) + "<?</Row>\n";
  return Book(rows);
}

inline std::string InstructionsInOneRow(std::size_t n) {
  return Book(SongStart(1) + Cell("a") + Repeat("<?", n) + "</Row>\n" + Song(2, Cell("b")));
}

inline std::string NamesThatArePrefixes(std::size_t n) {
  return Book(Song(1, RichCell(Numbered("<a", n, ">") + "x" + Numbered("</a", n, ">", true))));
}

inline std::string DistinctNames(std::size_t n) {
  return Book(Song(1, RichCell(Numbered("<a", n, "x>") + "x" + Numbered("</a", n, "x>", true))));
}

inline std::string CellsNeverClosed(std::size_t n) {
  return Book(SongStart(1) + Cell("a") + Repeat("<Cell><Data>5000</Data>", n) + "</Row>\n" +
              Song(2, Cell("b")));
}

inline std::string LessThanRunsInTag(std::size_t n) {
  const std::string tag = "<Cell ss:StyleID=\"" + Repeat("<", n) + "\"" + Repeat(" <b", n) + ">";
  return Book(Song(1, tag + "<Data ss:Type=\"String\">a</Data></Cell>") + Song(2, Cell("b")));
}

inline std::string ManyAttributes(std::size_t n) {
  const std::string tag = "<Cell" + Numbered(" a", n, "=\"1\"") + " ss:Index=\"4\">";
  return Book(Song(1, tag + "<Data ss:Type=\"String\">a</Data></Cell>"));
}

inline std::string LongValue(std::size_t n) {
  return Book(Song(1, Cell(std::string(n, 'v'))));
}

inline const std::vector<Shape>& AllShapes() {
  static const std::vector<Shape> shapes = {
      {"deep nesting in ss:Data", "nested <b>", {125000, 250000, 500000, 1000000}, DeepNesting},
      {"<U> never closed in each NAME", "rows", {5000, 20000, 80000}, UnclosedRichText},
      {"stray <? before each </Row>", "rows", {2000, 8000, 24000}, StrayInstructionPerRow},
      {"one row of <?", "<?", {50000, 200000, 800000}, InstructionsInOneRow},
      {"nested <a0><a1>.. (prefix names)", "names", {12000, 30000, 60000}, NamesThatArePrefixes},
      {"nested <a0x><a1x>.. (distinct names)", "names", {15000, 60000, 240000}, DistinctNames},
      {"one row of <Cell><Data>..</Data> unclosed",
       "cells",
       {15000, 60000, 240000},
       CellsNeverClosed},
      {"runs of < inside a start tag", "< and <b", {250000, 1000000, 4000000}, LessThanRunsInTag},
      {"attributes in one start tag", "attributes", {250000, 1000000, 4000000}, ManyAttributes},
      {"one long value", "units", {12500000, 50000000}, LongValue},
  };
  return shapes;
}

}  // namespace drumlo::shapes
