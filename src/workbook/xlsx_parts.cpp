#include "workbook/xlsx_parts.h"

#include <algorithm>

#include "fileio/utf8.h"
#include "workbook/cell_text.h"
#include "workbook/xml_tokens.h"

namespace drumlo {
namespace {

std::string AttributeUtf8(std::string_view raw) {
  return EncodeUtf8(AttributeText(raw));
}

std::string_view FolderOf(std::string_view part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
}

// Walks the start tags of a whole part; false when the XML ends inside a tag.
template <typename Visit>
bool ForEachStartTag(std::string_view xml, Visit&& visit) {
  XmlTokenizer tokens(xml, true);
  for (;;) {
    const XmlToken token = tokens.Next();
    if (token.kind == TokenKind::kEnd) return true;
    if (token.kind == TokenKind::kIncomplete || !visit(token)) return false;
  }
}

}  // namespace

std::string RelationshipPartOf(std::string_view part) {
  const std::string_view folder = FolderOf(part);
  std::string name(folder);
  name.append("_rels/").append(part.substr(folder.size())).append(".rels");
  return name;
}

std::string ResolvePartName(std::string_view folder, std::string_view target) {
  std::string path;
  if (target.starts_with('/')) {
    path = target.substr(1);
  } else {
    path = folder;
    path.append(target);
  }
  std::replace(path.begin(), path.end(), '\\', '/');
  std::vector<std::string_view> segments;
  const std::string_view whole(path);
  for (std::size_t at = 0; at <= whole.size();) {
    const std::size_t slash = std::min(whole.find('/', at), whole.size());
    const std::string_view segment = whole.substr(at, slash - at);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    at = slash + 1;
  }
  std::string resolved;
  for (const std::string_view segment : segments) {
    if (!resolved.empty()) resolved += '/';
    resolved.append(segment);
  }
  return resolved;
}

bool HasType(const Relationship& relationship, std::string_view last_segment) {
  const std::string_view type = relationship.type;
  return type.size() > last_segment.size() && type.ends_with(last_segment) &&
         type[type.size() - last_segment.size() - 1] == '/';
}

bool ParseRelationships(std::string_view xml, std::string_view source,
                        std::vector<Relationship>& out) {
  const std::string_view folder = FolderOf(source);
  return ForEachStartTag(xml, [&](const XmlToken& token) {
    if (token.kind != TokenKind::kStartTag || token.name != "Relationship") return true;
    Relationship relationship;
    bool external = false;
    std::string_view target;
    const bool readable =
        ForEachAttribute(token.attributes, [&](std::string_view name, std::string_view value) {
          if (name == "Id") relationship.id = AttributeUtf8(value);
          if (name == "Type") relationship.type = AttributeUtf8(value);
          if (name == "Target") target = value;
          if (name == "TargetMode") external = AttributeUtf8(value) == "External";
        });
    if (!readable) return false;
    if (!external) {
      relationship.target = ResolvePartName(folder, AttributeUtf8(target));
      out.push_back(std::move(relationship));
    }
    return true;
  });
}

bool ParseSheetList(std::string_view xml, std::vector<SheetEntry>& out) {
  bool in_sheets = false;
  return ForEachStartTag(xml, [&](const XmlToken& token) {
    if (token.kind == TokenKind::kEndTag && token.name == "sheets") in_sheets = false;
    if (token.kind != TokenKind::kStartTag) return true;
    if (token.name == "sheets") in_sheets = !token.self_closing;
    if (!in_sheets || token.name != "sheet") return true;
    SheetEntry sheet;
    // The relationship id is the "id" attribute of the relationships namespace, whatever its
    // prefix; the plain "sheetId" is another thing.
    const bool readable =
        ForEachAttribute(token.attributes, [&](std::string_view name, std::string_view value) {
          if (name == "name") sheet.name = AttributeText(value);
          if (name.find(':') != std::string_view::npos && LocalName(name) == "id") {
            sheet.relationship_id = AttributeUtf8(value);
          }
        });
    if (readable) out.push_back(std::move(sheet));
    return readable;
  });
}

}  // namespace drumlo
