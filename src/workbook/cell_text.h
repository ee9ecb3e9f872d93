// Cell values of an .xlsx workbook in the form the XML Spreadsheet 2003 format holds them:
// character data decoded (entities, character references, UTF-8, line ends), the `_xHHHH_`
// escapes of string text decoded, then escaped as that format's writer escapes cell data:
// "&", "<", ">" as "&amp;", "&lt;", "&gt;", a line feed as "&#10;", a carriage return as
// "&#13;", everything else (a double quote included) as it is.
#pragma once

#include <string_view>

#include "common/text.h"

namespace drumlo {

// Appends the characters of raw XML character data: entities and character references decoded,
// UTF-8 decoded leniently, CR LF and lone CR read as LF. `literal` (CDATA) decodes no entities.
void AppendXmlText(std::string_view raw, Text& out, bool literal = false);

// Appends `text` with each `_xHHHH_` escape replaced by the code unit it names.
void AppendWithoutOfficeEscapes(TextView text, Text& out);

// Appends `text` escaped as a cell's data in the XML Spreadsheet 2003 format.
void AppendSpreadsheetEscaped(TextView text, Text& out);

// The value of an attribute (a sheet name): entities decoded, white space characters read as
// spaces as XML reads attribute values; not escaped.
[[nodiscard]] Text AttributeText(std::string_view raw);

// Turns the raw character data of cell values into their final text, keeping scratch storage
// between values.
class CellTextDecoder {
 public:
  // String text (shared strings, inline strings, formula results): escapes decoded.
  void AppendString(std::string_view raw, Text& out, bool literal = false);
  // Numbers, booleans, error values: as they are stored.
  void AppendPlain(std::string_view raw, Text& out, bool literal = false);

 private:
  Text decoded_;
  Text unescaped_;
};

}  // namespace drumlo
