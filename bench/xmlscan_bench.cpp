// Prints the scanner's throughput on a generated workbook walked as the generation run walks
// it, and its time on deep nesting.
// Usage: xmlscan_bench [workbook MB of UTF-16, default 256] [walk: workbook only]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "seconds_of.h"
#include "xmlscan/element_access.h"
#include "xmlscan/element_walk.h"
#include "xmlscan/unit_search.h"

namespace drumlo {
namespace {

Text Repeat(TextView piece, std::size_t times) {
  Text out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i)
    out.append(piece);
  return out;
}

Text Number(std::size_t value) {
  const std::string digits = std::to_string(value);
  return Text(digits.begin(), digits.end());
}

// Rows like a song table: numbers, texts, a skipped column, a rich-text cell, a comment.
Text BuildWorkbook(std::size_t target_units) {
  Text doc =
      u"<?xml version=\"1.0\"?>\r\n<?mso-application progid=\"Excel.Sheet\"?>\r\n"
      u"<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\">\r\n"
      u"<Styles><Style ss:ID=\"Default\" ss:Name=\"Normal\"><Font ss:FontName=\"SimSun\"/>"
      u"</Style></Styles>\r\n<Worksheet ss:Name=\"Sheet1\"><Table>\r\n";
  doc.reserve(target_units + 4096);
  for (std::size_t row = 0; doc.size() < target_units; ++row) {
    doc += u"<Row ss:AutoFitHeight=\"0\">\r\n<Cell><Data ss:Type=\"Number\">";
    doc += Number(5000 + row);
    doc +=
        u"</Data></Cell>\r\n<Cell><Data ss:Type=\"String\">ms</Data></Cell>\r\n"
        u"<Cell ss:StyleID=\"s21\"><Data ss:Type=\"String\">\u6b4c\u66f2\u540d A &amp; B ";
    doc += Number(row);
    doc +=
        u"</Data></Cell>\r\n<Cell ss:Index=\"5\"><Data ss:Type=\"Number\">3.5</Data></Cell>\r\n"
        u"<Cell><ss:Data ss:Type=\"String\" xmlns=\"http://www.w3.org/TR/REC-html40\">"
        u"<B><Font html:Color=\"#FF0000\">Artist</Font></B><Font> Name</Font></ss:Data>"
        u"<Comment ss:Author=\"x\"><ss:Data><B>note</B></ss:Data></Comment></Cell>\r\n"
        u"<Cell><Data ss:Type=\"String\">pop</Data></Cell>\r\n"
        u"<Cell ss:Index=\"9\"><Data ss:Type=\"String\">b02</Data></Cell>\r\n</Row>\r\n";
  }
  doc += u"</Table></Worksheet></Workbook>\r\n";
  return doc;
}

struct WalkTotals {
  std::size_t rows = 0;
  std::size_t cells = 0;
  std::size_t indexed = 0;
  std::size_t value_units = 0;
};

WalkTotals WalkLikeTheRun(TextView doc) {
  WalkTotals totals;
  Position row_cursor = 0;
  for (;;) {
    const TextView row = GetContentFrom(doc, u"Row", row_cursor, 1);
    if (row == kNotFound) break;
    ++totals.rows;
    Position cell_cursor = 0;
    for (;;) {
      const TextView cell = GetElementFrom(row, u"Cell", cell_cursor, 1);
      if (cell == kNotFound) break;
      ++totals.cells;
      if (GetAttribute(cell, u"Cell", 1, u"ss:Index") != kNotFound) ++totals.indexed;
      TextView value = GetContent(cell, u"Data", 1);
      if (value == kNotFound) value = GetContent(cell, u"ss:Data", 1);
      Position comment_cursor = 0;
      const TextView comment = GetElementFrom(cell, u"Comment", comment_cursor, 1);
      totals.value_units += value.size() + (comment == kNotFound ? 0 : 1);
    }
  }
  return totals;
}

// The same rows taken by the one-pass walk, as the run takes rows written the ordinary way.
WalkTotals WalkInOnePass(TextView doc) {
  WalkTotals totals;
  ElementWalk walk;
  for (std::size_t at = FindStartTag(doc, 0, u"Row"); at != kNoUnit;) {
    if (walk.Walk(doc, at) != WalkResult::kWalked) break;
    ++totals.rows;
    for (const Extent& e : walk.Elements()) {
      const TextView name = e.Name(doc);
      if (name == u"Cell") {
        ++totals.cells;
        if (AttributeValueIn(e.AttributeRegion(doc), u"ss:Index") != kNotFound) ++totals.indexed;
      } else if (name == u"Data" || name == u"ss:Data") {
        totals.value_units += e.content_end - e.content_start;
      }
    }
    at = FindStartTag(doc, walk.Elements().front().outer_end, u"Row");
  }
  return totals;
}

void BenchWorkbook(std::size_t megabytes) {
  const Text doc = BuildWorkbook(megabytes * 1024 * 1024 / 2);
  const double mb = static_cast<double>(doc.size() * 2) / (1024.0 * 1024.0);
  WalkTotals totals;
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    best = std::min(best, SecondsOf([&] { totals = WalkLikeTheRun(doc); }));
  }
  std::printf(
      "workbook walk: %.1f MB UTF-16, %zu rows, %zu cells, %zu ss:Index: %.3f s = %.0f MB/s\n", mb,
      totals.rows, totals.cells, totals.indexed, best, mb / best);
  best = 1e9;
  for (int run = 0; run < 5; ++run) {
    best = std::min(best, SecondsOf([&] { totals = WalkInOnePass(doc); }));
  }
  std::printf("one-pass walk: %zu rows, %zu cells, %zu ss:Index: %.3f s = %.0f MB/s\n", totals.rows,
              totals.cells, totals.indexed, best, mb / best);

  // The first-unit search on its own: SSE2 scan against the standard library's.
  std::size_t hits = 0;
  const double own = SecondsOf([&] {
    for (std::size_t at = FindUnit(doc, 0, u'>'); at != kNoUnit; at = FindUnit(doc, at + 1, u'>'))
      ++hits;
  });
  const TextView view = doc;
  const double standard = SecondsOf([&] {
    for (std::size_t at = view.find(u'>'); at != TextView::npos; at = view.find(u'>', at + 1))
      ++hits;
  });
  const double far_own = SecondsOf([&] { hits += FindUnit(doc, 0, u'\u0001') == kNoUnit; });
  const double far_standard = SecondsOf([&] { hits += view.find(u'\u0001') == TextView::npos; });
  std::printf("find every '>': FindUnit %.0f MB/s, u16string_view::find %.0f MB/s\n", mb / own,
              mb / standard);
  std::printf("find an absent unit: FindUnit %.0f MB/s, u16string_view::find %.0f MB/s (%zu)\n",
              mb / far_own, mb / far_standard, hits);
}

struct DeepCase {
  const char* label;
  TextView name;
  std::function<Text(std::size_t)> build;
};

void BenchDepths() {
  const DeepCase cases[] = {
      {"closed <a>, content of <w>", u"w",
       [](std::size_t d) {
         return u"<w>" + Repeat(u"<a>", d) + u"x" + Repeat(u"</a>", d) + u"</w>";
       }},
      {"closed <a>, content of <a>", u"a",
       [](std::size_t d) {
         return u"<w>" + Repeat(u"<a>", d) + u"x" + Repeat(u"</a>", d) + u"</w>";
       }},
      {"unclosed <a>, content of <w>", u"w",
       [](std::size_t d) { return u"<w>" + Repeat(u"<a>", d) + u"x</w>"; }},
      {"alternating <a><b>, content of <a>", u"a",
       [](std::size_t d) {
         return u"<w>" + Repeat(u"<a><b>", d / 2) + u"x" + Repeat(u"</b></a>", d / 2) + u"</w>";
       }},
      {"<a> closed among unclosed <b>, content of <w>", u"w",
       [](std::size_t d) {
         return u"<w>" + Repeat(u"<a><b>", d / 2) + u"x" + Repeat(u"</a>", d / 2) + u"</w>";
       }},
  };
  std::printf("\ndepth timings (seconds; one GetContent call each):\n%-48s", "depth");
  const std::size_t depths[] = {1000, 10000, 125000, 250000, 500000, 1000000};
  for (const std::size_t d : depths)
    std::printf("%10zu", d);
  std::printf("\n");
  for (const DeepCase& c : cases) {
    std::printf("%-48s", c.label);
    for (const std::size_t d : depths) {
      const Text text = c.build(d);
      std::size_t size = 0;
      const double seconds = SecondsOf([&] { size = GetContent(text, c.name, 1).size(); });
      std::printf("%10.4f", seconds + static_cast<double>(size) * 0.0);
      std::fflush(stdout);
    }
    std::printf("\n");
  }
}

}  // namespace
}  // namespace drumlo

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  drumlo::BenchWorkbook(megabytes);
  if (argc > 2 && std::string(argv[2]) == "walk") return 0;
  drumlo::BenchDepths();
  return 0;
}
