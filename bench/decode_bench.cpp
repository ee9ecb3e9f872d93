// Decoder throughput: prints MB/s of Utf8ToText for ASCII-only, workbook-like and Chinese-only
// input, best of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "fileio/file_access.h"

namespace {

constexpr std::size_t kTargetBytes = 32u << 20;
constexpr int kRuns = 7;

drumlo::Bytes Repeat(const std::string& piece) {
  drumlo::Bytes bytes;
  bytes.reserve(kTargetBytes + piece.size());
  while (bytes.size() < kTargetBytes)
    bytes.insert(bytes.end(), piece.begin(), piece.end());
  return bytes;
}

double BestMegabytesPerSecond(const drumlo::Bytes& bytes, std::size_t& units) {
  double best = 0;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const drumlo::Text text = drumlo::Utf8ToText(bytes);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    units = text.size();
    best = std::max(best, static_cast<double>(bytes.size()) / 1e6 / took.count());
  }
  return best;
}

void Report(const char* name, const drumlo::Bytes& bytes) {
  std::size_t units = 0;
  const double rate = BestMegabytesPerSecond(bytes, units);
  std::printf("%-10s %6.1f MB in, %9zu units out: %8.1f MB/s\n", name,
              static_cast<double>(bytes.size()) / 1e6, units, rate);
}

}  // namespace

int main() {
  Report("ascii", Repeat("<Row><Cell><Data ss:Type=\"Number\">5001</Data></Cell></Row>\n"));
  Report("workbook", Repeat("<Row><Cell><Data ss:Type=\"String\">歌曲名称 Song 5001</Data>"
                            "</Cell><Cell ss:Index=\"3\"><Data>流行</Data></Cell></Row>\n"));
  Report("chinese", Repeat("歌曲规范总表鼓乐列表生成器"));
  return 0;
}
