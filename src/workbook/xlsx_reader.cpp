#include "workbook/xlsx_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "fileio/zip_archive.h"
#include "workbook/sheet_rows.h"
#include "workbook/xlsx_parts.h"
#include "workbook/xml_tokens.h"

namespace drumlo {
namespace {

// Parts are inflated into a window of this size, which grows only for an element longer than it.
constexpr std::size_t kWindowBytes = std::size_t{1} << 20;
constexpr std::string_view kPackageRelationships = "_rels/.rels";
constexpr std::string_view kDefaultWorkbookPart = "xl/workbook.xml";
// The workbook part and the relationship parts are read whole; none is near this long.
constexpr std::uint64_t kLargestWholePart = std::uint64_t{64} << 20;

XlsxStatus FromArchive(ArchiveStatus status) {
  switch (status) {
    case ArchiveStatus::kOk:
      return XlsxStatus::kOk;
    case ArchiveStatus::kNotArchive:
      return XlsxStatus::kNotXlsx;
    case ArchiveStatus::kTruncated:
      return XlsxStatus::kTruncatedArchive;
    case ArchiveStatus::kCorruptDirectory:
      return XlsxStatus::kCorruptArchive;
    case ArchiveStatus::kCorruptEntry:
      return XlsxStatus::kCorruptEntry;
    case ArchiveStatus::kEncryptedEntry:
      return XlsxStatus::kEncryptedEntry;
    case ArchiveStatus::kUnsupportedMethod:
      return XlsxStatus::kUnsupportedCompression;
    case ArchiveStatus::kTooLarge:
      return XlsxStatus::kTooLarge;
    case ArchiveStatus::kMissingEntry:
      return XlsxStatus::kMissingPart;
    case ArchiveStatus::kNotEnoughMemory:
      return XlsxStatus::kNotEnoughMemory;
  }
  return XlsxStatus::kCorruptArchive;
}

// One part, inflated bit by bit into a window that the reader consumes from the front.
class PartStream {
 public:
  ArchiveStatus Open(const ZipArchive& zip, const ZipEntry& entry, std::uint64_t limit) {
    begin_ = 0;
    end_ = 0;
    complete_ = false;
    buffer_.assign(static_cast<std::size_t>(std::min<std::uint64_t>(entry.size + 1, kWindowBytes)),
                   '\0');
    return zip.OpenEntry(entry, limit, stream_);
  }

  [[nodiscard]] std::string_view Window() const {
    return std::string_view(buffer_).substr(begin_, end_ - begin_);
  }
  // Whether the window holds the rest of the part, checked against the directory.
  [[nodiscard]] bool Complete() const { return complete_; }
  void Consume(std::size_t bytes) { begin_ += bytes; }
  void ConsumeAll() { begin_ = end_; }

  // Adds to the window what the part holds next.
  [[nodiscard]] ArchiveStatus More() {
    if (complete_) return ArchiveStatus::kOk;
    if (begin_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // an element this long
    std::size_t got = 0;
    const ArchiveStatus status = stream_.Read(
        std::span(reinterpret_cast<std::uint8_t*>(buffer_.data()) + end_, buffer_.size() - end_),
        got);
    end_ += got;
    complete_ = status == ArchiveStatus::kOk && got == 0;
    return status;
  }

 private:
  ZipEntryStream stream_;
  std::string buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool complete_ = false;
};

}  // namespace

std::string_view XlsxStatusName(XlsxStatus status) {
  switch (status) {
    case XlsxStatus::kOk:
      return "ok";
    case XlsxStatus::kNotXlsx:
      return "not-xlsx";
    case XlsxStatus::kTruncatedArchive:
      return "truncated-archive";
    case XlsxStatus::kCorruptArchive:
      return "corrupt-archive";
    case XlsxStatus::kCorruptEntry:
      return "corrupt-entry";
    case XlsxStatus::kEncryptedEntry:
      return "encrypted-entry";
    case XlsxStatus::kUnsupportedCompression:
      return "unsupported-compression";
    case XlsxStatus::kTooLarge:
      return "too-large";
    case XlsxStatus::kMissingPart:
      return "missing-part";
    case XlsxStatus::kMalformedPart:
      return "malformed-part";
    case XlsxStatus::kNotEnoughMemory:
      return "not-enough-memory";
  }
  return "unknown";
}

class XlsxReader::Impl {
 public:
  explicit Impl(std::span<const std::uint8_t> file) : file_(file), rows_(shared_) {}

  XlsxStatus Open() {
    try {
      if (!Fail(FromArchive(zip_.Open(file_)), "")) return status_;
      std::string workbook_part;
      std::vector<SheetEntry> sheets;
      std::vector<Relationship> workbook_relationships;
      if (!FindWorkbookPart(workbook_part) || !ReadSheetList(workbook_part, sheets) ||
          !ReadWholeRelationships(RelationshipPartOf(workbook_part), workbook_part,
                                  workbook_relationships) ||
          !PlaceSheets(sheets, workbook_relationships) || !CheckBudget(workbook_relationships) ||
          !ReadSharedStrings(workbook_relationships)) {
        return status_;
      }
    } catch (const std::bad_alloc&) {
      Fail(XlsxStatus::kNotEnoughMemory, "");
    }
    return status_;
  }

  const std::vector<Text>& SheetNames() const { return sheet_names_; }
  XlsxStatus Status() const { return status_; }
  std::string_view FailedPart() const { return failed_part_; }

  bool NextRow(SheetRow& row) {
    try {
      while (status_ == XlsxStatus::kOk) {
        if (!sheet_open_ && !OpenNextSheet()) return false;
        if (ReadRowOfSheet(row)) return true;
      }
    } catch (const std::bad_alloc&) {
      Fail(XlsxStatus::kNotEnoughMemory, CurrentPart());
    }
    return false;
  }

 private:
  // Records a failure; true when there is none.
  bool Fail(XlsxStatus status, std::string_view part) {
    if (status == XlsxStatus::kOk) return true;
    status_ = status;
    failed_part_ = part;
    return false;
  }

  bool FailArchive(ArchiveStatus status, std::string_view part) {
    return Fail(FromArchive(status), part);
  }

  std::string_view CurrentPart() const {
    return sheet_open_ ? std::string_view(sheet_parts_[sheet_ - 1]->name) : std::string_view();
  }

  // A small part read whole; its size counts against the limit like every part read.
  bool ReadWhole(const ZipEntry& entry, std::string& out) {
    const ArchiveStatus status =
        zip_.ReadEntry(entry, std::min<std::uint64_t>(budget_, kLargestWholePart), out);
    if (status == ArchiveStatus::kOk) budget_ -= entry.size;
    return FailArchive(status, entry.name);
  }

  bool ReadWholeRelationships(const std::string& name, std::string_view source,
                              std::vector<Relationship>& out) {
    const ZipEntry* entry = zip_.Find(name);
    if (entry == nullptr) return Fail(XlsxStatus::kMissingPart, name);
    std::string xml;
    if (!ReadWhole(*entry, xml)) return false;
    return ParseRelationships(xml, source, out) || Fail(XlsxStatus::kMalformedPart, name);
  }

  // The package's main part, as its relationships name it; the usual name when they are absent.
  bool FindWorkbookPart(std::string& part) {
    std::vector<Relationship> package;
    if (zip_.Find(kPackageRelationships) != nullptr &&
        !ReadWholeRelationships(std::string(kPackageRelationships), "", package)) {
      return false;
    }
    const auto main = std::find_if(package.begin(), package.end(), [](const Relationship& r) {
      return HasType(r, "officeDocument");
    });
    part = main != package.end() ? main->target : std::string(kDefaultWorkbookPart);
    // A binary workbook has its main part in another form: not one this reader reads.
    if (zip_.Find(part) == nullptr || part.ends_with(".bin")) {
      return Fail(XlsxStatus::kNotXlsx, part);
    }
    return true;
  }

  bool ReadSheetList(const std::string& part, std::vector<SheetEntry>& sheets) {
    std::string xml;
    if (!ReadWhole(*zip_.Find(part), xml)) return false;
    return ParseSheetList(xml, sheets) || Fail(XlsxStatus::kMalformedPart, part);
  }

  // Each sheet's part: worksheets have rows; chart, dialog and macro sheets have none.
  bool PlaceSheets(std::vector<SheetEntry>& sheets,
                   const std::vector<Relationship>& relationships) {
    std::unordered_map<std::string_view, const Relationship*> by_id;
    for (const Relationship& relationship : relationships)
      by_id.try_emplace(relationship.id, &relationship);
    for (SheetEntry& sheet : sheets) {
      const auto found = by_id.find(sheet.relationship_id);
      if (found == by_id.end()) return Fail(XlsxStatus::kMissingPart, sheet.relationship_id);
      const Relationship& relationship = *found->second;
      const ZipEntry* entry = nullptr;
      if (HasType(relationship, "worksheet")) {
        entry = zip_.Find(relationship.target);
        if (entry == nullptr) return Fail(XlsxStatus::kMissingPart, relationship.target);
      }
      sheet_names_.push_back(std::move(sheet.name));
      sheet_parts_.push_back(entry);
    }
    return true;
  }

  const ZipEntry* SharedStringsPart(const std::vector<Relationship>& relationships) const {
    const auto relationship =
        std::find_if(relationships.begin(), relationships.end(),
                     [](const Relationship& r) { return HasType(r, "sharedStrings"); });
    return relationship == relationships.end() ? nullptr : zip_.Find(relationship->target);
  }

  // Refuses, before inflating any of them, parts that come to more than the limit together.
  bool CheckBudget(const std::vector<Relationship>& relationships) {
    std::uint64_t total = 0;
    const auto add = [&](const ZipEntry* entry) {
      if (entry != nullptr) total += std::min<std::uint64_t>(entry->size, budget_ + 1);
    };
    add(SharedStringsPart(relationships));
    for (const ZipEntry* sheet : sheet_parts_)
      add(sheet);
    return total <= budget_ || Fail(XlsxStatus::kTooLarge, "");
  }

  bool ReadSharedStrings(const std::vector<Relationship>& relationships) {
    const ZipEntry* entry = SharedStringsPart(relationships);
    if (entry == nullptr) return true;
    if (!OpenPart(*entry)) return false;
    for (;;) {
      const std::string_view window = part_.Window();
      XmlTokenizer tokens(window, part_.Complete());
      bool need_more = false;
      while (!need_more) {
        const std::size_t at = tokens.Offset();
        const XmlToken token = tokens.Next();
        if (token.kind == TokenKind::kEnd) return true;
        if (token.kind == TokenKind::kIncomplete) {
          part_.Consume(at);
          need_more = true;
        } else if (token.kind == TokenKind::kStartTag && token.name == "si") {
          std::size_t next = 0;
          const ElementRead read = shared_.ReadItem(window, part_.Complete(), at, next);
          if (read == ElementRead::kMalformed) return Fail(XlsxStatus::kMalformedPart, entry->name);
          if (read == ElementRead::kNeedMore) {
            part_.Consume(at);
            need_more = true;
          } else {
            tokens = XmlTokenizer(window, part_.Complete(), next);
          }
        }
      }
      if (!MorePart(entry->name)) return false;
    }
  }

  bool OpenPart(const ZipEntry& entry) {
    const ArchiveStatus status = part_.Open(zip_, entry, budget_);
    if (status == ArchiveStatus::kOk) budget_ -= entry.size;
    return FailArchive(status, entry.name);
  }

  // More of the current part; a part that ends in the middle of an element is malformed.
  bool MorePart(std::string_view name) {
    if (part_.Complete()) return Fail(XlsxStatus::kMalformedPart, name);
    return FailArchive(part_.More(), name);
  }

  bool OpenNextSheet() {
    while (sheet_ < sheet_parts_.size() && sheet_parts_[sheet_] == nullptr)
      ++sheet_;
    if (sheet_ == sheet_parts_.size()) return false;
    const ZipEntry& entry = *sheet_parts_[sheet_++];
    if (!OpenPart(entry)) return false;
    sheet_open_ = true;
    in_sheet_data_ = false;
    row_number_ = 0;
    return true;
  }

  // Reads on in the open sheet up to its next row; false when the sheet ends (or fails) first.
  bool ReadRowOfSheet(SheetRow& row) {
    const std::string_view name = sheet_parts_[sheet_ - 1]->name;
    for (;;) {
      const std::string_view window = part_.Window();
      XmlTokenizer tokens(window, part_.Complete());
      for (;;) {
        const std::size_t at = tokens.Offset();
        const XmlToken token = tokens.Next();
        if (token.kind == TokenKind::kIncomplete) {
          part_.Consume(at);
          break;
        }
        if (token.kind == TokenKind::kEnd) {
          sheet_open_ = false;
          return false;
        }
        if (token.kind == TokenKind::kStartTag && token.name == "sheetData") {
          in_sheet_data_ = !token.self_closing;
        } else if (token.kind == TokenKind::kEndTag && token.name == "sheetData") {
          in_sheet_data_ = false;
        } else if (in_sheet_data_ && token.kind == TokenKind::kStartTag && token.name == "row") {
          std::size_t next = 0;
          const ElementRead read = rows_.Read(window, part_.Complete(), at, row_number_, next);
          if (read == ElementRead::kMalformed) return Fail(XlsxStatus::kMalformedPart, name);
          if (read == ElementRead::kDone) {
            part_.Consume(next);
            TakeRow(row);
            return true;
          }
          part_.Consume(at);
          break;
        }
      }
      if (!MorePart(name)) return false;
    }
  }

  void TakeRow(SheetRow& row) {
    row_number_ = rows_.Number();
    cells_.clear();
    for (const ParsedCell& cell : rows_.Cells())
      cells_.push_back({cell.column, rows_.Value(cell)});
    row.sheet = static_cast<std::uint32_t>(sheet_ - 1);
    row.number = row_number_;
    row.cells = cells_;
  }

  std::span<const std::uint8_t> file_;
  ZipArchive zip_;
  std::uint64_t budget_ = kXlsxInflateLimit;  // what parts may still inflate to
  XlsxStatus status_ = XlsxStatus::kOk;
  std::string failed_part_;

  std::vector<Text> sheet_names_;
  std::vector<const ZipEntry*> sheet_parts_;  // null for sheets without rows
  SharedStrings shared_;

  PartStream part_;
  std::size_t sheet_ = 0;  // the next sheet to open
  bool sheet_open_ = false;
  bool in_sheet_data_ = false;
  std::uint32_t row_number_ = 0;
  RowParser rows_;
  std::vector<SheetCell> cells_;
};

XlsxReader::XlsxReader(std::span<const std::uint8_t> file) : impl_(std::make_unique<Impl>(file)) {}
XlsxReader::~XlsxReader() = default;

XlsxStatus XlsxReader::Open() {
  return impl_->Open();
}
const std::vector<Text>& XlsxReader::SheetNames() const {
  return impl_->SheetNames();
}
bool XlsxReader::NextRow(SheetRow& row) {
  return impl_->NextRow(row);
}
XlsxStatus XlsxReader::Status() const {
  return impl_->Status();
}
std::string_view XlsxReader::FailedPart() const {
  return impl_->FailedPart();
}

}  // namespace drumlo
