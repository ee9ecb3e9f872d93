// Prints, for every input shape that once made the scanner slow, how the time grows with the
// size of the shape: the scanner calls a run makes, in this process, and whole runs of the tool
// (and of an older build of it, to compare), with the cost per MB against an ordinary workbook.
// Usage: shape_bench [--tool PATH] [--before PATH] [--ordinary WORKBOOK] [--work DIR]
//                    [--timeout SECONDS] [--only TEXT] [--quick]
//   --tool, --before  drumlo-listgen builds to time (--dry-run); their reports are compared
//   --ordinary        an ordinary workbook (bench/make_workbook) for the cost per MB to compare to
//   --work            where the workbooks and reports are written (default /tmp)
//   --timeout         a whole run taking longer is stopped; larger sizes are then not tried
//   --only            only the shapes whose name contains TEXT
//   --quick           the two smallest sizes of each shape
// Columns: whole runs of the tool (fastest of 3; "before" once); "x ordinary", a run's seconds
// per MB against the ordinary workbook's; "x added", the same for the MB added since the size
// before, which leaves the run's fixed costs out; the scanner calls of a run in this process,
// with scanners held per text ("held") and with the free accessors ("free"); whether the two
// tools' reports agree.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "hostile_shapes.h"
#include "seconds_of.h"
#include "xmlscan/element_access.h"
#include "xmlscan/element_walk.h"
#include "xmlscan/scan_primitives.h"

namespace drumlo {
namespace {

double Megabytes(std::size_t bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

struct Options {
  std::string tool;
  std::string before;
  std::string ordinary;
  std::string work = "/tmp";
  std::string only;
  int timeout = 120;
  bool quick = false;
};

// What the scanner calls of a run found, to tell two ways of making them apart.
struct Totals {
  std::size_t rows = 0;
  std::size_t cells = 0;
  std::size_t value_units = 0;
  bool operator==(const Totals&) const = default;
};

void TakeCell(TextView index_attr, TextView value, Totals& totals) {
  ++totals.cells;
  if (index_attr != kNotFound) totals.value_units += index_attr.size();
  if (value == kNotFound) return;
  totals.value_units += value.find(u'<') == TextView::npos ? value.size() : StripTags(value).size();
}

// The cells of a row the walk cannot vouch for, asked of scanners held per text, as a run
// holding them asks.
void ScanRowCells(TextView row, Totals& totals) {
  DocumentScanner cells(row);
  Position cursor = 0;
  for (;;) {
    const TextView cell = cells.GetElementFrom(u"Cell", cursor, 1);
    if (cell == kNotFound) return;
    DocumentScanner parts(cell);
    const TextView index_attr = parts.GetAttribute(u"Cell", 1, u"ss:Index");
    TextView value = parts.GetContent(u"Data", 1);
    if (value == kNotFound) value = parts.GetContent(u"ss:Data", 1);
    TakeCell(index_attr, value, totals);
  }
}

// The same with the free accessors, each of which searches from nothing.
void FreeRowCells(TextView row, Totals& totals) {
  Position cursor = 0;
  for (;;) {
    const TextView cell = GetElementFrom(row, u"Cell", cursor, 1);
    if (cell == kNotFound) return;
    const TextView index_attr = GetAttribute(cell, u"Cell", 1, u"ss:Index");
    TextView value = GetContent(cell, u"Data", 1);
    if (value == kNotFound) value = GetContent(cell, u"ss:Data", 1);
    TakeCell(index_attr, value, totals);
  }
}

// The walked row's cells: each Cell with its first Data, else ss:Data, as the run takes them.
void WalkedRowCells(TextView doc, const std::vector<Extent>& elements, Totals& totals) {
  for (std::size_t k = 1; k < elements.size(); ++k) {
    if (elements[k].Name(doc) != u"Cell") continue;
    const Extent& cell = elements[k];
    const Extent* data = nullptr;
    const Extent* rich = nullptr;
    for (std::size_t j = k + 1; j < elements.size() && elements[j].tag_start < cell.outer_end;
         ++j) {
      const TextView name = elements[j].Name(doc);
      if (data == nullptr && name == u"Data") data = &elements[j];
      if (rich == nullptr && name == u"ss:Data") rich = &elements[j];
    }
    const Extent* value = data != nullptr ? data : rich;
    TakeCell(AttributeValueIn(cell.AttributeRegion(doc), u"ss:Index"),
             value != nullptr ? value->Content(doc) : kNotFound, totals);
  }
}

// Rows as a run takes them: walked where the walk can vouch for them, otherwise found by the
// accessors from a forward cursor. `held` asks scanners held per text, else the free accessors.
Totals RunCalls(TextView doc, bool held) {
  Totals totals;
  DocumentScanner rows(doc);
  ElementWalk walk;
  Position cursor = 0;
  for (;;) {
    const std::size_t start = FindStartTag(doc, static_cast<std::size_t>(cursor), u"Row");
    if (start != TextView::npos && walk.Walk(doc, start) == WalkResult::kWalked) {
      WalkedRowCells(doc, walk.Elements(), totals);
      cursor = static_cast<Position>(walk.Elements().front().outer_end);
      ++totals.rows;
      continue;
    }
    const TextView row =
        held ? rows.GetContentFrom(u"Row", cursor, 1) : GetContentFrom(doc, u"Row", cursor, 1);
    if (row == kNotFound) return totals;
    ++totals.rows;
    if (held) {
      ScanRowCells(row, totals);
    } else {
      FreeRowCells(row, totals);
    }
  }
}

// Seconds of the fastest of `runs` whole runs of the tool, with its report kept in `report`;
// nothing when a run failed or took longer than the timeout.
std::optional<double> TimeTool(const std::string& tool, const std::string& workbook,
                               const Options& options, int runs, std::string& report) {
  const std::string out = options.work + "/shape_bench_out";
  const std::string report_file = options.work + "/shape_bench_report.json";
  const std::string command = "mkdir -p '" + out + "' && timeout " +
                              std::to_string(options.timeout) + " '" + tool +
                              "' --dry-run --quiet --report=json --out '" + out + "' '" + workbook +
                              "' > '" + report_file + "'";
  double best = 1e300;
  for (int run = 0; run < runs; ++run) {
    int status = 0;
    const double seconds = SecondsOf([&] { status = std::system(command.c_str()); });
    if (status != 0) return std::nullopt;
    best = std::min(best, seconds);
  }
  std::ifstream in(report_file);
  report.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return best;
}

Text Widen(const std::string& ascii) {
  return Text(ascii.begin(), ascii.end());
}

std::string SecondsText(const std::optional<double>& seconds) {
  if (!seconds) return "-";
  char out[32];
  std::snprintf(out, sizeof out, "%.3f", *seconds);
  return out;
}

void BenchShape(const shapes::Shape& shape, const Options& options,
                std::optional<double> ordinary_per_mb) {
  std::printf("\n%s (n = %s)\n", shape.name, shape.what);
  std::printf("%9s %8s %10s %10s %9s %10s %8s %12s %12s %s\n", "n", "MB", "before s", "after s",
              "MB/s", "x ordinary", "x added", "scan held s", "scan free s", "reports");
  std::optional<double> last_after;
  double last_mb = 0;
  bool before_gave_up = false;
  bool free_gave_up = false;
  const std::size_t count =
      options.quick ? std::min<std::size_t>(2, shape.sizes.size()) : shape.sizes.size();
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t n = shape.sizes[k];
    const std::string book = shape.build(n);
    const double mb = Megabytes(book.size());
    const Text doc = Widen(book);
    Totals held;
    const double held_seconds = SecondsOf([&] { held = RunCalls(doc, true); });
    std::optional<double> free_seconds;
    if (!free_gave_up) {
      Totals free;
      free_seconds = SecondsOf([&] { free = RunCalls(doc, false); });
      if (!(free == held)) std::printf("  the free accessors found other cells!\n");
      free_gave_up = *free_seconds > 20;
    }
    std::optional<double> after;
    std::optional<double> before;
    std::string verdict = "-";
    if (!options.tool.empty()) {
      const std::string path = options.work + "/shape_bench.xml";
      std::ofstream(path, std::ios::binary) << book;
      std::string after_report;
      std::string before_report;
      after = TimeTool(options.tool, path, options, 3, after_report);
      if (!options.before.empty() && !before_gave_up) {
        before = TimeTool(options.before, path, options, 1, before_report);
        before_gave_up = !before || *before > options.timeout / 4.0;
        if (before) verdict = before_report == after_report ? "same" : "DIFFERENT";
      }
    }
    std::string ratio = "-";
    std::string added = "-";
    std::string rate = "-";
    if (after) {
      char text[32];
      std::snprintf(text, sizeof text, "%.0f", mb / *after);
      rate = text;
      if (ordinary_per_mb) {
        std::snprintf(text, sizeof text, "%.1f", *after / mb / *ordinary_per_mb);
        ratio = text;
        if (last_after) {
          const double per_added_mb = (*after - *last_after) / (mb - last_mb);
          std::snprintf(text, sizeof text, "%.1f", per_added_mb / *ordinary_per_mb);
          added = text;
        }
      }
    }
    last_after = after;
    last_mb = mb;
    std::printf("%9zu %8.2f %10s %10s %9s %10s %8s %12.3f %12s %s\n", n, mb,
                SecondsText(before).c_str(), SecondsText(after).c_str(), rate.c_str(),
                ratio.c_str(), added.c_str(), held_seconds, SecondsText(free_seconds).c_str(),
                verdict.c_str());
    std::fflush(stdout);
  }
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    const bool has_value = k + 1 < argc;
    if (arg == "--quick") {
      options.quick = true;
    } else if (arg == "--tool" && has_value) {
      options.tool = argv[++k];
    } else if (arg == "--before" && has_value) {
      options.before = argv[++k];
    } else if (arg == "--ordinary" && has_value) {
      options.ordinary = argv[++k];
    } else if (arg == "--work" && has_value) {
      options.work = argv[++k];
    } else if (arg == "--only" && has_value) {
      options.only = argv[++k];
    } else if (arg == "--timeout" && has_value) {
      options.timeout = std::atoi(argv[++k]);
    } else {
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace
}  // namespace drumlo

int main(int argc, char** argv) {
  using namespace drumlo;
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr,
                 "usage: shape_bench [--tool PATH] [--before PATH] [--ordinary WORKBOOK] "
                 "[--work DIR] [--timeout SECONDS] [--only TEXT] [--quick]\n");
    return 64;
  }
  std::optional<double> ordinary_per_mb;
  if (!options->tool.empty() && !options->ordinary.empty()) {
    std::ifstream in(options->ordinary, std::ios::binary | std::ios::ate);
    const auto bytes = static_cast<std::size_t>(in.tellg());
    std::string report;
    const std::optional<double> seconds =
        TimeTool(options->tool, options->ordinary, *options, 3, report);
    if (seconds) {
      ordinary_per_mb = *seconds / Megabytes(bytes);
      std::printf("ordinary workbook: %.1f MB in %.3f s = %.4f s per MB\n", Megabytes(bytes),
                  *seconds, *ordinary_per_mb);
    }
  }
  for (const shapes::Shape& shape : shapes::AllShapes()) {
    if (std::string(shape.name).find(options->only) == std::string::npos) continue;
    BenchShape(shape, *options, ordinary_per_mb);
  }
  return 0;
}
