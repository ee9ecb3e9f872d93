// Damaged and hostile .xlsx workbooks: each gives a status that names what is wrong, and the
// part it was found in, without reading what it need not read.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "workbook/xlsx_reader.h"
#include "xlsx_builder.h"
#include "xlsx_test_support.h"
#include "zip_test_support.h"

namespace drumlo {
namespace {

using namespace ziptest;

constexpr const char* kSheetPart = "xl/worksheets/sheet1.xml";

std::string GoodWorkbook() {
  std::string rows;
  for (int r = 1; r <= 2000; ++r) {
    rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) +
            "\" t=\"s\"><v>0</v></c></row>";
  }
  return XlsxBuilder().Sheet("S", rows).SharedStrings("<si><t>x</t></si>").Build();
}

struct HostileCase {
  const char* name;
  std::function<std::string()> archive;
  XlsxStatus want;
  std::string failed_part;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
  *os << c.name;
}

class HostileWorkbooks : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileWorkbooks, GiveTheirStatus) {
  const ReadResult read = ReadXlsx(GetParam().archive());
  EXPECT_EQ(read.status, GetParam().want) << XlsxStatusName(read.status);
  EXPECT_EQ(read.failed_part, GetParam().failed_part);
}

std::string Damaged(std::string zip, std::size_t field, std::uint32_t value,
                    const char* part = kSheetPart) {
  Set32(zip, DirectoryRecord(zip, part) + field, value);
  return zip;
}

std::string WithSheet(const std::string& sheet_xml) {
  return XlsxBuilder().Sheet("S", "").Part(kSheetPart, sheet_xml).Build();
}

const HostileCase kHostileCases[] = {
    {"NotAnArchive", [] { return std::string("<Workbook/>"); }, XlsxStatus::kNotXlsx, ""},
    {"ArchiveWithoutWorkbook",
     [] { return XlsxBuilder().Without("xl/workbook.xml").Without("_rels/.rels").Build(); },
     XlsxStatus::kNotXlsx, "xl/workbook.xml"},
    {"BinaryWorkbook",
     [] {
       return XlsxBuilder()
           .Part("_rels/.rels",
                 "<Relationships><Relationship Id=\"r\" Type=\"x/officeDocument\" "
                 "Target=\"xl/workbook.bin\"/></Relationships>")
           .Part("xl/workbook.bin", "\x83\x01")
           .Build();
     },
     XlsxStatus::kNotXlsx, "xl/workbook.bin"},
    {"Truncated",
     [] {
       std::string zip = GoodWorkbook();
       zip.resize(zip.size() * 2 / 3);
       return zip;
     },
     XlsxStatus::kTruncatedArchive, ""},
    {"DirectoryCountsTooMany",
     [] {
       std::string zip = GoodWorkbook();
       Set16(zip, EndRecord(zip) + 10, 200);
       return zip;
     },
     XlsxStatus::kCorruptArchive, ""},
    {"SheetSizeAnnouncedSmaller", [] { return Damaged(GoodWorkbook(), kRecordSize, 5000); },
     XlsxStatus::kCorruptEntry, kSheetPart},
    {"SheetChecksumWrong", [] { return Damaged(GoodWorkbook(), kRecordCrc, 1); },
     XlsxStatus::kCorruptEntry, kSheetPart},
    {"SheetEncrypted", [] { return Damaged(GoodWorkbook(), kRecordFlags, 0x0001); },
     XlsxStatus::kEncryptedEntry, kSheetPart},
    {"SharedStringsCompressedOtherwise",
     [] { return Damaged(GoodWorkbook(), kRecordMethod, 14, "xl/sharedStrings.xml"); },
     XlsxStatus::kUnsupportedCompression, "xl/sharedStrings.xml"},
    // Parts that would inflate to more than 2 GiB together are refused before any is inflated.
    {"PartsAnnouncedAbove2GiB",
     [] {
       std::string zip = Damaged(GoodWorkbook(), kRecordSize, 0x50000000);
       return Damaged(zip, kRecordSize, 0x40000000, "xl/sharedStrings.xml");
     },
     XlsxStatus::kTooLarge, ""},
    {"WorkbookPartTooLargeToReadWhole",
     [] { return Damaged(GoodWorkbook(), kRecordSize, 0x7F000000, "xl/workbook.xml"); },
     XlsxStatus::kTooLarge, "xl/workbook.xml"},
    {"SheetPartMissing", [] { return XlsxBuilder().Sheet("S", "").Without(kSheetPart).Build(); },
     XlsxStatus::kMissingPart, kSheetPart},
    {"SheetRelationshipMissing",
     [] {
       return XlsxBuilder()
           .Sheet("S", "")
           .Part("xl/_rels/workbook.xml.rels", "<Relationships/>")
           .Build();
     },
     XlsxStatus::kMissingPart, "rId10"},
    {"SharedStringOutOfRange",
     [] { return XlsxBuilder().Sheet("S", R"(<row><c t="s"><v>1</v></c></row>)").Build(); },
     XlsxStatus::kMalformedPart, kSheetPart},
    {"SharedStringIndexNotANumber",
     [] {
       return XlsxBuilder()
           .Sheet("S", R"(<row><c t="s"><v>x</v></c></row>)")
           .SharedStrings("<si/>")
           .Build();
     },
     XlsxStatus::kMalformedPart, kSheetPart},
    {"BadCellReference",
     [] { return XlsxBuilder().Sheet("S", R"(<row><c r="1A"><v>1</v></c></row>)").Build(); },
     XlsxStatus::kMalformedPart, kSheetPart},
    {"CountedColumnBeyondTheLast",
     [] { return XlsxBuilder().Sheet("S", R"(<row><c r="ZZZ1"/><c><v>1</v></c></row>)").Build(); },
     XlsxStatus::kMalformedPart, kSheetPart},
    {"BadRowNumber",
     [] { return XlsxBuilder().Sheet("S", R"(<row r="0"><c><v>1</v></c></row>)").Build(); },
     XlsxStatus::kMalformedPart, kSheetPart},
    {"SheetEndsInsideARow",
     [] { return WithSheet("<worksheet><sheetData><row r=\"1\"><c><v>1</v></c>"); },
     XlsxStatus::kMalformedPart, kSheetPart},
    {"SheetEndsInsideATag", [] { return WithSheet("<worksheet><sheetData><row r=\"1\"><c r=\""); },
     XlsxStatus::kMalformedPart, kSheetPart},
    {"SharedStringsEndInsideAnItem",
     [] {
       return XlsxBuilder()
           .Sheet("S", "")
           .SharedStrings("<si/>")
           .Part("xl/sharedStrings.xml", "<sst><si><t>a</t>")
           .Build();
     },
     XlsxStatus::kMalformedPart, "xl/sharedStrings.xml"},
    {"WorkbookEndsInsideATag",
     [] {
       return XlsxBuilder().Part("xl/workbook.xml", "<workbook><sheets><sheet name=\"").Build();
     },
     XlsxStatus::kMalformedPart, "xl/workbook.xml"},
};

INSTANTIATE_TEST_SUITE_P(All, HostileWorkbooks, testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A sheet of 32 MiB of one repeated row, announced as 1 MiB: the reader gives up once it has
// inflated one byte more than the announced size.
TEST(HostileWorkbookTest, SheetFarLargerThanAnnouncedRefused) {
  const std::string row = "<row><c><v>1</v></c></row>";
  std::string rows;
  rows.reserve(std::size_t{32} << 20);
  while (rows.size() < (std::size_t{32} << 20))
    rows += row;
  const std::string zip = Damaged(XlsxBuilder().Sheet("S", rows).Build(), kRecordSize, 1 << 20);
  XlsxReader reader(std::span(reinterpret_cast<const std::uint8_t*>(zip.data()), zip.size()));
  ASSERT_EQ(reader.Open(), XlsxStatus::kOk);
  SheetRow read;
  std::size_t rows_read = 0;
  while (reader.NextRow(read))
    ++rows_read;
  EXPECT_EQ(reader.Status(), XlsxStatus::kCorruptEntry);
  EXPECT_LE(rows_read * row.size(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace drumlo
