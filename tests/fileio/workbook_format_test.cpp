// Telling a workbook's format from its bytes: text encodings, archives by what they hold,
// compound files by their streams.
#include "fileio/workbook_format.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fileio/compound_file.h"
#include "fileio/file_access.h"
#include "fileio/zip_writer.h"

namespace drumlo {

void PrintTo(WorkbookFormat format, std::ostream* os) {
  *os << WorkbookFormatName(format);
}

namespace {

Bytes BytesOf(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes Utf16Le(const std::string& ascii, bool mark) {
  Bytes bytes;
  if (mark) bytes = {0xFF, 0xFE};
  for (const char c : ascii) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0);
  }
  return bytes;
}

Bytes Utf16Be(const std::string& ascii, bool mark) {
  Bytes bytes;
  if (mark) bytes = {0xFE, 0xFF};
  for (const char c : ascii) {
    bytes.push_back(0);
    bytes.push_back(static_cast<std::uint8_t>(c));
  }
  return bytes;
}

Bytes Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
  ZipWriter writer;
  for (const auto& [name, content] : entries)
    writer.Add(name, content);
  return BytesOf(writer.Finish());
}

std::string ContentTypes(const std::string& main_type) {
  return "<Types><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/" +
         main_type + "\"/></Types>";
}

// A compound file with 512- or 4096-byte sectors: sector 0 the allocation table, then the
// directory: the root entry and `streams` as its children, each the right sibling of the one
// before. `nested` puts the streams into a storage below the root instead.
Bytes CompoundFile(const std::vector<std::u16string>& streams, std::size_t sector_bytes = 512,
                   bool nested = false) {
  constexpr std::uint32_t kFree = 0xFFFFFFFF;
  constexpr std::uint32_t kEnd = 0xFFFFFFFE;
  std::vector<std::pair<std::u16string, std::uint8_t>> entries = {{u"Root Entry", 5}};
  if (nested) entries.push_back({u"ObjectPool", 1});
  for (const auto& name : streams)
    entries.push_back({name, 2});
  const std::size_t directory_sectors = (entries.size() * 128 + sector_bytes - 1) / sector_bytes;
  Bytes file((2 + directory_sectors) * sector_bytes, 0);
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k)
      file[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
  };
  const auto put16 = [&](std::size_t at, std::uint16_t v) {
    file[at] = static_cast<std::uint8_t>(v);
    file[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  std::copy(std::begin(kCompoundFileSignature), std::end(kCompoundFileSignature), file.begin());
  put16(24, 0x3E);
  put16(26, sector_bytes == 512 ? 3 : 4);
  put16(28, 0xFFFE);
  put16(30, sector_bytes == 512 ? 9 : 12);
  put16(32, 6);
  put32(44, 1);  // allocation table sectors
  put32(48, 1);  // first directory sector
  put32(56, 4096);
  put32(60, kEnd);
  put32(68, kEnd);
  put32(76, 0);
  for (std::size_t k = 1; k < 109; ++k)
    put32(76 + 4 * k, kFree);
  const std::size_t fat = sector_bytes;
  for (std::size_t k = 0; k < sector_bytes / 4; ++k)
    put32(fat + 4 * k, kFree);
  put32(fat, 0xFFFFFFFD);
  for (std::size_t k = 1; k <= directory_sectors; ++k)
    put32(fat + 4 * k, k == directory_sectors ? kEnd : static_cast<std::uint32_t>(k + 1));
  const std::size_t directory = 2 * sector_bytes;
  for (std::size_t id = 0; id < entries.size(); ++id) {
    const std::size_t at = directory + 128 * id;
    const auto& [name, type] = entries[id];
    for (std::size_t k = 0; k < name.size(); ++k)
      put16(at + 2 * k, name[k]);
    put16(at + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
    file[at + 66] = type;
    const bool last = id + 1 == entries.size();
    const bool parent = id == 0 || (nested && id == 1);
    put32(at + 68, kFree);
    put32(at + 72, parent || last ? kFree : static_cast<std::uint32_t>(id + 1));
    put32(at + 76, parent && !last ? static_cast<std::uint32_t>(id + 1) : kFree);
  }
  return file;
}

// The same file with the allocation table's sector number pointing past the end.
Bytes WithBrokenChains(Bytes file) {
  file[76] = 0x70;
  return file;
}

struct FormatCase {
  const char* name;
  std::function<Bytes()> bytes;
  WorkbookFormat want;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << c.name;
}

class FormatCases : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatCases, DetectedAsTheTableSays) {
  const Bytes bytes = GetParam().bytes();
  const WorkbookFormat format = DetectWorkbookFormat(bytes);
  EXPECT_EQ(format, GetParam().want) << WorkbookFormatName(format);
}

const std::string kWorkbook = "<?xml version=\"1.0\"?><Workbook><Row/></Workbook>";
const std::string kXlsxType = "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

const FormatCase kFormatCases[] = {
    // Text.
    {"EmptyFile", [] { return Bytes(); }, WorkbookFormat::kXmlUtf8},
    {"Utf8", [] { return BytesOf(kWorkbook); }, WorkbookFormat::kXmlUtf8},
    {"Utf8WithMark", [] { return BytesOf("\xEF\xBB\xBF" + kWorkbook); }, WorkbookFormat::kXmlUtf8},
    {"Utf8MarkOnly", [] { return BytesOf("\xEF\xBB\xBF"); }, WorkbookFormat::kXmlUtf8},
    {"TextWithoutRows", [] { return BytesOf("<a>no rows</a>"); }, WorkbookFormat::kXmlUtf8},
    {"Utf16LeWithMark", [] { return Utf16Le(kWorkbook, true); }, WorkbookFormat::kXmlUtf16Le},
    {"Utf16BeWithMark", [] { return Utf16Be(kWorkbook, true); }, WorkbookFormat::kXmlUtf16Be},
    {"Utf16LeWithoutMark", [] { return Utf16Le(kWorkbook, false); }, WorkbookFormat::kXmlUtf16Le},
    {"Utf16BeWithoutMark", [] { return Utf16Be(kWorkbook, false); }, WorkbookFormat::kXmlUtf16Be},
    {"Utf16LeStartingWithSpace", [] { return Utf16Le("\r\n <Row/>", false); },
     WorkbookFormat::kXmlUtf16Le},
    {"Utf16MarkOnly",
     [] {
       return Bytes{0xFF, 0xFE};
     },
     WorkbookFormat::kXmlUtf16Le},
    {"Utf16WithNulUnit", [] { return Utf16Le(std::string("<Row>\0</Row>", 12), true); },
     WorkbookFormat::kNotWorkbook},
    {"Utf16WithoutLt", [] { return Utf16Le("INDEX,NAME", true); }, WorkbookFormat::kNotWorkbook},
    {"Csv", [] { return BytesOf("INDEX,NAME,LV\r\n5001,晨光序曲,3.5\r\n"); },
     WorkbookFormat::kNotWorkbook},
    {"CsvWithMark", [] { return BytesOf("\xEF\xBB\xBFINDEX,NAME\r\n"); },
     WorkbookFormat::kNotWorkbook},
    {"LtOnlyAfterFourKilobytes", [] { return BytesOf(std::string(4096, 'x') + "<Row/>"); },
     WorkbookFormat::kNotWorkbook},
    {"LtAtTheLastByteOfFourKilobytes", [] { return BytesOf(std::string(4095, ' ') + "<Row/>"); },
     WorkbookFormat::kXmlUtf8},
    {"NulByte", [] { return BytesOf(std::string("<Row>\0", 6)); }, WorkbookFormat::kNotWorkbook},
    {"Binary", [] { return Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13}; },
     WorkbookFormat::kNotWorkbook},
    // Zip archives.
    {"Xlsx",
     [] {
       return Zip({{"[Content_Types].xml", ContentTypes(kXlsxType)}, {"xl/workbook.xml", "<w/>"}});
     },
     WorkbookFormat::kXlsx},
    {"Xlsm",
     [] {
       return Zip(
           {{"[Content_Types].xml", ContentTypes("vnd.ms-excel.sheet.macroEnabled.main+xml")},
            {"xl/workbook.xml", "<w/>"}});
     },
     WorkbookFormat::kXlsx},
    {"Xlsb",
     [] {
       return Zip(
           {{"[Content_Types].xml", ContentTypes("vnd.ms-excel.sheet.binary.macroEnabled.main")},
            {"xl/workbook.bin", "\x83\x01"}});
     },
     WorkbookFormat::kXlsb},
    {"XlsxWithoutContentTypes",
     [] {
       return Zip({{"xl/workbook.xml", "<w/>"}});
     },
     WorkbookFormat::kXlsx},
    {"Ods",
     [] {
       return Zip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                   {"content.xml", "<office:document-content/>"}});
     },
     WorkbookFormat::kOds},
    {"TextDocumentArchive",
     [] {
       return Zip(
           {{"[Content_Types].xml",
             ContentTypes("vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml")},
            {"word/document.xml", "<w/>"}});
     },
     WorkbookFormat::kNotWorkbook},
    {"OdtArchive",
     [] {
       return Zip({{"mimetype", "application/vnd.oasis.opendocument.text"}});
     },
     WorkbookFormat::kNotWorkbook},
    {"PlainZip",
     [] {
       return Zip({{"songs.csv", "INDEX,NAME"}});
     },
     WorkbookFormat::kNotWorkbook},
    {"EmptyZip", [] { return Zip({}); }, WorkbookFormat::kNotWorkbook},
    {"XlsxCutShort",
     [] {
       Bytes zip = Zip({{"[Content_Types].xml", ContentTypes(kXlsxType)},
                        {"xl/workbook.xml", "<w/>"},
                        {"xl/worksheets/sheet1.xml", "<x/>"}});
       zip.resize(zip.size() - 100);
       return zip;
     },
     WorkbookFormat::kXlsx},
    // Compound files.
    {"Xls",
     [] {
       return CompoundFile({u"\x05SummaryInformation", u"Workbook"});
     },
     WorkbookFormat::kXls},
    {"XlsFromExcel5", [] { return CompoundFile({u"Book"}); }, WorkbookFormat::kXls},
    {"XlsWithBigSectors", [] { return CompoundFile({u"WORKBOOK"}, 4096); }, WorkbookFormat::kXls},
    {"PasswordProtected",
     [] {
       return CompoundFile({u"EncryptionInfo", u"EncryptedPackage",
                            u"\x06"
                            u"DataSpaces"});
     },
     WorkbookFormat::kEncrypted},
    {"WordDocument",
     [] {
       return CompoundFile({u"WordDocument", u"1Table"});
     },
     WorkbookFormat::kNotWorkbook},
    {"WorkbookOnlyInsideAStorage", [] { return CompoundFile({u"Workbook"}, 512, true); },
     WorkbookFormat::kNotWorkbook},
    {"XlsWithBrokenChains", [] { return WithBrokenChains(CompoundFile({u"Workbook"})); },
     WorkbookFormat::kXls},
    {"CompoundFileCutShort",
     [] {
       Bytes file = CompoundFile({u"Workbook"});
       file.resize(300);
       return file;
     },
     WorkbookFormat::kNotWorkbook},
};

INSTANTIATE_TEST_SUITE_P(All, FormatCases, testing::ValuesIn(kFormatCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorkbookFormatTest, TextIsToldFromTheFirstBytesAlone) {
  const Bytes workbook = Utf16Le(kWorkbook + std::string(10000, ' '), true);
  EXPECT_EQ(SignatureOf(workbook), FileSignature::kText);
  EXPECT_EQ(TextFormatOf(std::span(workbook).first(kTextProbeBytes)), WorkbookFormat::kXmlUtf16Le);
  EXPECT_EQ(SignatureOf(Zip({})), FileSignature::kZip);
  EXPECT_EQ(SignatureOf(CompoundFile({})), FileSignature::kCompoundFile);
}

}  // namespace
}  // namespace drumlo
