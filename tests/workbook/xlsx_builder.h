// Builds small .xlsx archives for tests: worksheets from their rows' XML, chart sheets, shared
// strings, and any part replaced or added.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fileio/zip_writer.h"

namespace drumlo {

class XlsxBuilder {
 public:
  // A worksheet whose sheetData holds `rows` (the XML of its row elements).
  XlsxBuilder& Sheet(std::string name, std::string rows, std::string state = "visible") {
    sheets_.push_back({std::move(name), std::move(rows), std::move(state), false});
    return *this;
  }
  XlsxBuilder& ChartSheet(std::string name) {
    sheets_.push_back({std::move(name), "", "visible", true});
    return *this;
  }
  // The shared strings part, from the XML of its si elements.
  XlsxBuilder& SharedStrings(std::string items) {
    shared_strings_ = std::move(items);
    return *this;
  }
  // A part with this content instead of the one that would be made, or in addition.
  XlsxBuilder& Part(std::string name, std::string content) {
    parts_[std::move(name)] = std::move(content);
    return *this;
  }
  XlsxBuilder& Without(std::string name) {
    left_out_.push_back(std::move(name));
    return *this;
  }

  [[nodiscard]] std::string Build(bool zip64 = false) const {
    std::map<std::string, std::string> parts = MadeParts();
    for (const auto& [name, content] : parts_)
      parts[name] = content;
    for (const std::string& name : left_out_)
      parts.erase(name);
    ZipWriter writer(zip64);
    for (const auto& [name, content] : parts)
      writer.Add(name, content);
    return writer.Finish();
  }

 private:
  struct SheetSource {
    std::string name;
    std::string rows;
    std::string state;
    bool chart;
  };

  std::map<std::string, std::string> MadeParts() const {
    std::map<std::string, std::string> parts;
    parts["[Content_Types].xml"] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/"
        "package/2006/content-types\"><Override PartName=\"/xl/workbook.xml\" ContentType=\""
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>";
    parts["_rels/.rels"] =
        Relationships("<Relationship Id=\"rId1\" Type=\"" + std::string(kOfficeDocument) +
                      "/officeDocument\" Target=\"xl/workbook.xml\"/>");
    std::string sheets;
    std::string relationships;
    for (std::size_t k = 0; k < sheets_.size(); ++k) {
      const SheetSource& sheet = sheets_[k];
      const std::string id = "rId" + std::to_string(k + 10);
      const std::string kind = sheet.chart ? "chartsheet" : "worksheet";
      const std::string target = kind + "s/sheet" + std::to_string(k + 1) + ".xml";
      sheets += "<sheet name=\"" + sheet.name + "\" sheetId=\"" + std::to_string(k + 1) +
                "\" state=\"" + sheet.state + "\" r:id=\"" + id + "\"/>";
      relationships += "<Relationship Id=\"" + id + "\" Type=\"" + std::string(kOfficeDocument) +
                       "/" + kind + "\" Target=\"" + target + "\"/>";
      parts["xl/" + target] = sheet.chart ? "<chartsheet/>" : Worksheet(sheet.rows);
    }
    if (!shared_strings_.empty()) {
      relationships += "<Relationship Id=\"rId2\" Type=\"" + std::string(kOfficeDocument) +
                       "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
      parts["xl/sharedStrings.xml"] =
          "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
          shared_strings_ + "</sst>";
    }
    parts["xl/workbook.xml"] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"" +
        std::string(kOfficeDocument) + "\"><sheets>" + sheets + "</sheets></workbook>";
    parts["xl/_rels/workbook.xml.rels"] = Relationships(relationships);
    parts["xl/styles.xml"] = "<styleSheet/>";
    return parts;
  }

  static std::string Relationships(const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas."
           "openxmlformats.org/package/2006/relationships\">" +
           items + "</Relationships>";
  }

  static std::string Worksheet(const std::string& rows) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
           "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
           "<dimension ref=\"A1\"/><sheetData>" +
           rows + "</sheetData><pageMargins/></worksheet>";
  }

  static constexpr const char* kOfficeDocument =
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

  std::vector<SheetSource> sheets_;
  std::string shared_strings_;
  std::map<std::string, std::string> parts_;
  std::vector<std::string> left_out_;
};

}  // namespace drumlo
