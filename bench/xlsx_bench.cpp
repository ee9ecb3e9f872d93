// Row reading speed of the two workbook forms, side by side: an .xlsx workbook through the xlsx
// reader, and optionally the same table as an XML workbook decoded and walked into placed rows
// as the run walks it. Both start from the file's bytes in memory; best of several runs.
// Usage: xlsx_bench WORKBOOK.xlsx [WORKBOOK.xml]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "fileio/file_access.h"
#include "generator/cell_feed.h"
#include "workbook/xlsx_reader.h"

namespace {

constexpr int kRuns = 5;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

drumlo::Bytes ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return drumlo::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Pass {
  std::size_t rows = 0;
  std::size_t cells = 0;
  bool ok = true;
};

Pass ReadXlsx(const drumlo::Bytes& bytes) {
  drumlo::XlsxReader reader(bytes);
  Pass pass;
  pass.ok = reader.Open() == drumlo::XlsxStatus::kOk;
  drumlo::SheetRow row;
  while (reader.NextRow(row)) {
    ++pass.rows;
    pass.cells += row.cells.size();
  }
  pass.ok = pass.ok && reader.Status() == drumlo::XlsxStatus::kOk;
  return pass;
}

// The XML form as the run reads it on one thread: decoded whole, then its rows placed.
Pass ReadXml(const drumlo::Bytes& bytes) {
  const drumlo::Text text = drumlo::Utf8ToText(bytes);
  drumlo::CellFeed feed(text, drumlo::CellFeed::Mode::kSameThread);
  drumlo::FedRow row;
  Pass pass;
  while (feed.NextRow(row)) {
    ++pass.rows;
    pass.cells += row.cells.size();
  }
  return pass;
}

template <typename Read>
void Report(const char* name, const char* path, Read read) {
  const drumlo::Bytes bytes = ReadAll(path);
  double best = 1e9;
  Pass pass;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    pass = read(bytes);
    best = std::min(best, SecondsSince(start));
  }
  std::printf("%-5s %8.1f MB file, %7zu rows, %8zu cells%s: %7.3f s\n", name,
              static_cast<double>(bytes.size()) / 1e6, pass.rows, pass.cells,
              pass.ok ? "" : " (FAILED)", best);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: xlsx_bench WORKBOOK.xlsx [WORKBOOK.xml]\n");
    return 64;
  }
  Report("xlsx", argv[1], ReadXlsx);
  if (argc == 3) Report("xml", argv[2], ReadXml);
  return 0;
}
