// Decoder throughput: prints MB/s of Utf8ToText for ASCII-only, workbook-like and Chinese-only
// input, best of several runs. Given a workbook path, it also times reading that file and
// decoding it, each on its own, as a run does.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "fileio/file_access.h"

namespace {

constexpr std::size_t kTargetBytes = 32u << 20;
constexpr int kRuns = 7;
constexpr int kFileRuns = 5;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

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
    const auto start = Clock::now();
    const drumlo::Text text = drumlo::Utf8ToText(bytes);
    const double took = SecondsSince(start);
    units = text.size();
    best = std::max(best, static_cast<double>(bytes.size()) / 1e6 / took);
  }
  return best;
}

void Report(const char* name, const drumlo::Bytes& bytes) {
  std::size_t units = 0;
  const double rate = BestMegabytesPerSecond(bytes, units);
  std::printf("%-10s %6.1f MB in, %9zu units out: %8.1f MB/s\n", name,
              static_cast<double>(bytes.size()) / 1e6, units, rate);
}

// Best times of the two steps of loading a workbook; every run allocates afresh, as a run does.
int ReportFile(const char* path) {
  std::u16string wide;
  for (const char* c = path; *c != '\0'; ++c)
    wide += static_cast<char16_t>(static_cast<unsigned char>(*c));
  double best_read = 1e9;
  double best_decode = 1e9;
  std::size_t size = 0;
  std::size_t units = 0;
  for (int run = 0; run < kFileRuns; ++run) {
    drumlo::Bytes bytes;
    auto start = Clock::now();
    if (drumlo::ReadFileBytes(wide, bytes) != drumlo::kErrorSuccess) {
      std::fprintf(stderr, "cannot read %s\n", path);
      return 1;
    }
    best_read = std::min(best_read, SecondsSince(start));
    start = Clock::now();
    const drumlo::Text text = drumlo::Utf8ToText(bytes);
    best_decode = std::min(best_decode, SecondsSince(start));
    size = bytes.size();
    units = text.size();
  }
  const double megabytes = static_cast<double>(size) / 1e6;
  std::printf("file       %6.1f MB in, %9zu units out\n", megabytes, units);
  std::printf("  read     %8.1f ms  %8.1f MB/s\n", best_read * 1e3, megabytes / best_read);
  std::printf("  decode   %8.1f ms  %8.1f MB/s\n", best_decode * 1e3, megabytes / best_decode);
  std::printf("  both     %8.1f ms\n", (best_read + best_decode) * 1e3);
  return 0;
}

}  // namespace

// Usage: decode_bench [workbook]
int main(int argc, char** argv) {
  Report("ascii", Repeat("<Row><Cell><Data ss:Type=\"Number\">5001</Data></Cell></Row>\n"));
  Report("workbook", Repeat("<Row><Cell><Data ss:Type=\"String\">歌曲名称 Song 5001</Data>"
                            "</Cell><Cell ss:Index=\"3\"><Data>流行</Data></Cell></Row>\n"));
  Report("chinese", Repeat("歌曲规范总表鼓乐列表生成器"));
  return argc > 1 ? ReportFile(argv[1]) : 0;
}
