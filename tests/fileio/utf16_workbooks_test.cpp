// The same workbooks saved as UTF-8, UTF-16LE and UTF-16BE (by iconv, with and without a
// byte-order mark) are told apart by their bytes and decode to one text, whole or in pieces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fileio/file_access.h"
#include "fileio/workbook_format.h"

namespace drumlo {
namespace {

namespace fs = std::filesystem;

const fs::path kWorkbooksDir = DRUMLO_UTF16_WORKBOOKS_DIR;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// In pieces of the size the file reader hands over, cut at an odd byte so units are split.
Text DecodeInPieces(WorkbookFormat format, const Bytes& bytes) {
  constexpr std::size_t kPiece = 4097;
  Text out;
  WorkbookTextDecoder decoder(format);
  for (std::size_t at = 0; at < bytes.size(); at += kPiece)
    decoder.Add(std::span(bytes).subspan(at, std::min(kPiece, bytes.size() - at)), out);
  decoder.Finish(out);
  return out;
}

TEST(Utf16Workbooks, DecodeToTheTextOfTheirUtf8Form) {
  const std::vector<std::pair<std::string, WorkbookFormat>> variants = {
      {".utf16le.xml", WorkbookFormat::kXmlUtf16Le},
      {".utf16be.xml", WorkbookFormat::kXmlUtf16Be},
      {".utf16le-bom.xml", WorkbookFormat::kXmlUtf16Le},
      {".utf16be-bom.xml", WorkbookFormat::kXmlUtf16Be},
  };
  int workbooks = 0;
  for (const auto& entry : fs::directory_iterator(kWorkbooksDir)) {
    const std::string file = entry.path().filename().string();
    if (!file.ends_with(".utf8.xml")) continue;
    const std::string name = file.substr(0, file.size() - 9);
    SCOPED_TRACE(name);
    const Bytes utf8 = ReadAll(entry.path());
    ASSERT_EQ(DetectWorkbookFormat(utf8), WorkbookFormat::kXmlUtf8);
    const Text want = WorkbookText(WorkbookFormat::kXmlUtf8, utf8);
    for (const auto& [suffix, format] : variants) {
      SCOPED_TRACE(suffix);
      const Bytes bytes = ReadAll(kWorkbooksDir / (name + suffix));
      // A file of 0 bytes is UTF-8 to the detection, whatever it was saved as.
      const WorkbookFormat detected = DetectWorkbookFormat(bytes);
      EXPECT_EQ(detected, bytes.empty() ? WorkbookFormat::kXmlUtf8 : format);
      EXPECT_EQ(WorkbookText(detected, bytes), want);
      EXPECT_EQ(DecodeInPieces(detected, bytes), want);
    }
    ++workbooks;
  }
  // The repository's own seed workbooks are always among them.
  EXPECT_GE(workbooks, 3);
}

}  // namespace
}  // namespace drumlo
