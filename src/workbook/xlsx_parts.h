// The package structure of an .xlsx workbook: relationship parts, part names and the workbook
// part's list of sheets. Internal to the xlsx reader.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"

namespace drumlo {

struct Relationship {
  std::string id;
  std::string type;
  std::string target;  // resolved to an archive entry name (no leading "/")
};

// The internal relationships of a relationship part; `source` is the part they belong to ("" for
// the package), against whose folder relative targets are resolved. False for XML that cannot
// be read.
[[nodiscard]] bool ParseRelationships(std::string_view xml, std::string_view source,
                                      std::vector<Relationship>& out);
// The relationship part of a part: "xl/workbook.xml" has "xl/_rels/workbook.xml.rels".
[[nodiscard]] std::string RelationshipPartOf(std::string_view part);
// A target resolved against a folder ("xl/"), with "." and ".." segments taken out.
[[nodiscard]] std::string ResolvePartName(std::string_view folder, std::string_view target);
// Whether a relationship type is the one named by its last segment ("worksheet", ...).
[[nodiscard]] bool HasType(const Relationship& relationship, std::string_view last_segment);

struct SheetEntry {
  Text name;
  std::string relationship_id;
};

// The sheets of the workbook part in their order. False for XML that cannot be read.
[[nodiscard]] bool ParseSheetList(std::string_view xml, std::vector<SheetEntry>& out);

}  // namespace drumlo
