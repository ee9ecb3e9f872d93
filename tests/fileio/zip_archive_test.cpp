// The zip reader on archives as written, and on archives damaged on purpose: every damage must
// give its status, and no entry may inflate beyond what its directory announces.
#include "fileio/zip_archive.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "fileio/zip_writer.h"
#include "zip_test_support.h"

namespace drumlo {
namespace {

using namespace ziptest;

}  // namespace

void PrintTo(ArchiveStatus status, std::ostream* os) {
  *os << ArchiveStatusName(status);
}

namespace {

std::span<const std::uint8_t> AsBytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string Varied(std::size_t size) {
  std::mt19937 rng(static_cast<unsigned>(size));
  std::string text;
  while (text.size() < size)
    text +=
        "<c r=\"A" + std::to_string(rng() % 1000) + "\"><v>" + std::to_string(rng()) + "</v></c>";
  text.resize(size);
  return text;
}

std::string Archive(bool zip64, ZipWriter::Method method,
                    const std::vector<std::pair<std::string, std::string>>& entries) {
  ZipWriter writer(zip64);
  for (const auto& [name, content] : entries)
    writer.Add(name, content, method);
  return writer.Finish();
}

struct Layout {
  const char* name;
  bool zip64;
  ZipWriter::Method method;
};

class ZipRoundTrip : public testing::TestWithParam<Layout> {};

TEST_P(ZipRoundTrip, EntriesReadBackAsWritten) {
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"[Content_Types].xml", "<Types/>"},
      {"xl/empty.xml", ""},
      {"xl/worksheets/sheet1.xml", Varied(3 << 20)},
      {"docProps/名前.xml", "ü"}};
  const std::string zip = Archive(GetParam().zip64, GetParam().method, entries);
  ZipArchive archive;
  ASSERT_EQ(archive.Open(AsBytes(zip)), ArchiveStatus::kOk);
  ASSERT_EQ(archive.Entries().size(), entries.size());
  for (const auto& [name, content] : entries) {
    const ZipEntry* entry = archive.Find(name);
    ASSERT_NE(entry, nullptr) << name;
    std::string read;
    EXPECT_EQ(archive.ReadEntry(*entry, content.size(), read), ArchiveStatus::kOk) << name;
    EXPECT_EQ(read, content) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(All, ZipRoundTrip,
                         testing::Values(Layout{"Deflated", false, ZipWriter::Method::kDeflated},
                                         Layout{"Stored", false, ZipWriter::Method::kStored},
                                         Layout{"Zip64Deflated", true,
                                                ZipWriter::Method::kDeflated},
                                         Layout{"Zip64Stored", true, ZipWriter::Method::kStored}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ZipArchiveTest, NamesFoundInAnyCaseAndWithALeadingSlash) {
  const std::string zip = Archive(false, ZipWriter::Method::kStored,
                                  {{"xl/Workbook.xml", "a"}, {"xl/workbook.xml", "b"}});
  ZipArchive archive;
  ASSERT_EQ(archive.Open(AsBytes(zip)), ArchiveStatus::kOk);
  EXPECT_EQ(archive.Find("/xl/workbook.xml")->name, "xl/workbook.xml");
  EXPECT_EQ(archive.Find("XL/WORKBOOK.XML")->name, "xl/Workbook.xml");
  EXPECT_EQ(archive.Find("xl/workbook.bin"), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Damaged archives. Each case damages one archive of two entries and names the status that
// opening the archive, or else reading the damaged entry, must give.

constexpr const char* kDamaged = "xl/sheet.xml";

struct Damage {
  const char* name;
  ZipWriter::Method method;
  std::function<void(std::string&)> apply;
  ArchiveStatus want;
};

void PrintTo(const Damage& d, std::ostream* os) {
  *os << d.name;
}

class DamagedArchive : public testing::TestWithParam<Damage> {};

TEST_P(DamagedArchive, GivesItsStatus) {
  std::string zip = Archive(false, GetParam().method,
                            {{"xl/workbook.xml", "<workbook/>"}, {kDamaged, Varied(200000)}});
  GetParam().apply(zip);
  ZipArchive archive;
  ArchiveStatus status = archive.Open(AsBytes(zip));
  if (status == ArchiveStatus::kOk) {
    const ZipEntry* entry = archive.Find(kDamaged);
    ASSERT_NE(entry, nullptr);
    std::string read;
    status = archive.ReadEntry(*entry, 1 << 20, read);
  }
  EXPECT_EQ(status, GetParam().want) << ArchiveStatusName(status);
}

void SetField(std::string& zip, std::size_t offset, std::uint32_t value) {
  Set32(zip, DirectoryRecord(zip, kDamaged) + offset, value);
}

const Damage kDamages[] = {
    {"NotAnArchive", ZipWriter::Method::kDeflated,
     [](std::string& z) { z = "INDEX,NAME\r\n5001,x\r\n"; }, ArchiveStatus::kNotArchive},
    {"CutInTheMiddle", ZipWriter::Method::kDeflated, [](std::string& z) { z.resize(z.size() / 2); },
     ArchiveStatus::kTruncated},
    {"CutInTheDirectory", ZipWriter::Method::kDeflated,
     [](std::string& z) { z.resize(EndRecord(z) - 10); }, ArchiveStatus::kTruncated},
    {"EndRecordCountsTooMany", ZipWriter::Method::kDeflated,
     [](std::string& z) {
       Set16(z, EndRecord(z) + 8, 3);
       Set16(z, EndRecord(z) + 10, 3);
     },
     ArchiveStatus::kCorruptDirectory},
    {"DirectoryBeyondItsEnd", ZipWriter::Method::kDeflated,
     [](std::string& z) { Set32(z, EndRecord(z) + 16, Get32(z, EndRecord(z) + 16) + 100); },
     ArchiveStatus::kCorruptDirectory},
    {"SaturatedWithoutZip64", ZipWriter::Method::kDeflated,
     [](std::string& z) { Set32(z, EndRecord(z) + 16, 0xFFFFFFFF); },
     ArchiveStatus::kCorruptDirectory},
    {"LocalHeaderMisplaced", ZipWriter::Method::kDeflated,
     [](std::string& z) { SetField(z, kRecordLocalHeader, 7); }, ArchiveStatus::kCorruptDirectory},
    {"DataBeyondTheFile", ZipWriter::Method::kDeflated,
     [](std::string& z) { SetField(z, kRecordCompressedSize, 50000000); },
     ArchiveStatus::kTruncated},
    {"CompressedDataCut", ZipWriter::Method::kDeflated,
     [](std::string& z) {
       SetField(z, kRecordCompressedSize, Get32(z, DirectoryRecord(z, kDamaged) + 20) / 2);
     },
     ArchiveStatus::kCorruptEntry},
    {"SizeAnnouncedSmaller", ZipWriter::Method::kDeflated,
     [](std::string& z) { SetField(z, kRecordSize, 1000); }, ArchiveStatus::kCorruptEntry},
    {"SizeAnnouncedLarger", ZipWriter::Method::kDeflated,
     [](std::string& z) { SetField(z, kRecordSize, 300000); }, ArchiveStatus::kCorruptEntry},
    {"StoredSizesDisagree", ZipWriter::Method::kStored,
     [](std::string& z) { SetField(z, kRecordSize, 1000); }, ArchiveStatus::kCorruptEntry},
    {"WrongChecksum", ZipWriter::Method::kDeflated,
     [](std::string& z) { SetField(z, kRecordCrc, 12345); }, ArchiveStatus::kCorruptEntry},
    {"StoredWrongChecksum", ZipWriter::Method::kStored,
     [](std::string& z) { SetField(z, kRecordCrc, 12345); }, ArchiveStatus::kCorruptEntry},
    {"NotDeflateData", ZipWriter::Method::kStored,
     [](std::string& z) { Set16(z, DirectoryRecord(z, kDamaged) + kRecordMethod, 8); },
     ArchiveStatus::kCorruptEntry},
    {"Encrypted", ZipWriter::Method::kDeflated,
     [](std::string& z) { Set16(z, DirectoryRecord(z, kDamaged) + kRecordFlags, 0x0801); },
     ArchiveStatus::kEncryptedEntry},
    {"EncryptedInLocalHeaderOnly", ZipWriter::Method::kDeflated,
     [](std::string& z) { Set16(z, LocalHeader(z, kDamaged) + kLocalFlags, 0x0801); },
     ArchiveStatus::kEncryptedEntry},
    {"AesMethod", ZipWriter::Method::kDeflated,
     [](std::string& z) { Set16(z, DirectoryRecord(z, kDamaged) + kRecordMethod, 99); },
     ArchiveStatus::kEncryptedEntry},
    {"Bzip2Method", ZipWriter::Method::kDeflated,
     [](std::string& z) { Set16(z, DirectoryRecord(z, kDamaged) + kRecordMethod, 12); },
     ArchiveStatus::kUnsupportedMethod},
    {"LargerThanTheLimit", ZipWriter::Method::kDeflated,
     [](std::string& z) { SetField(z, kRecordSize, (1 << 20) + 1); }, ArchiveStatus::kTooLarge},
};

INSTANTIATE_TEST_SUITE_P(All, DamagedArchive, testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

// 64 MiB of zeros announced as 1000 bytes: refused after at most one byte more than announced.
TEST(ZipArchiveTest, EntryInflatingFarBeyondItsSizeStopsAtOneByteMore) {
  std::string zip = Archive(false, ZipWriter::Method::kDeflated,
                            {{"bomb.xml", std::string(std::size_t{64} << 20, '\0')}});
  Set32(zip, DirectoryRecord(zip, "bomb.xml") + kRecordSize, 1000);
  ZipArchive archive;
  ASSERT_EQ(archive.Open(AsBytes(zip)), ArchiveStatus::kOk);
  ZipEntryStream stream;
  ASSERT_EQ(archive.OpenEntry(archive.Entries()[0], 1000, stream), ArchiveStatus::kOk);
  std::string buffer(1 << 20, '\0');
  ArchiveStatus status = ArchiveStatus::kOk;
  for (int reads = 0; status == ArchiveStatus::kOk && reads < 100; ++reads) {
    std::size_t got = 0;
    status =
        stream.Read(std::span(reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size()), got);
    if (status == ArchiveStatus::kOk && got == 0) break;
  }
  EXPECT_EQ(status, ArchiveStatus::kCorruptEntry);
  EXPECT_LE(stream.Produced(), 1001u);
}

}  // namespace
}  // namespace drumlo
