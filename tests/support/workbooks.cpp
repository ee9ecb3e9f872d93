#include "workbooks.h"

namespace drumlo {

std::string Cell(const std::string& value, int index) {
  const std::string attr = index != 0 ? " ss:Index=\"" + std::to_string(index) + "\"" : "";
  return "<Cell" + attr + "><Data ss:Type=\"String\">" + value + "</Data></Cell>";
}

std::string Row(const std::vector<std::string>& cells) {
  std::string row = "<Row>";
  for (const std::string& c : cells)
    row += c;
  return row + "</Row>\n";
}

std::string Sheet(const std::string& rows) {
  return "<?xml version=\"1.0\"?>\n<Workbook><Worksheet ss:Name=\"S\"><Table>\n" + rows +
         "</Table></Worksheet></Workbook>\n";
}

std::string Song(int index, const std::string& pak, const std::string& name) {
  return Row({Cell(std::to_string(index)), Cell(pak), Cell(pak + "x"), Cell(name)});
}

Text RandomWorkbook(std::mt19937& rng) {
  static const std::vector<TextView> kCells = {
      u"<Cell><Data ss:Type=\"Number\">5001</Data></Cell>",
      u"<Cell ss:Index=\"4\" ss:StyleID=\"s1\"><Data ss:Type=\"String\">a &amp; b</Data></Cell>",
      u"<Cell ss:Index = ' 7 ' ss:MergeAcross=\"2\"><Data>x</Data></Cell>",
      u"<Cell><ss:Data xmlns=\"h\"><B><Font c=\"#F00\">ri</Font></B><Font>ch</Font></ss:Data>"
      u"</Cell>",
      u"<Cell><Data>n</Data><Comment ss:Author=\"q\"><ss:Data><B>note</B></ss:Data></Comment>"
      u"</Cell>",
      u"<Cell><Comment><Data>only a note</Data></Comment></Cell>",
      u"<Cell><ss:Data>r</ss:Data><Data>d</Data></Cell>",
      u"<Cell><Data>^ERROR</Data><ss:Data>rich</ss:Data></Cell>",
      u"<Cell ss:Index=\"^ERROR\"><Data>e</Data></Cell>",
      u"<Cell><Data>^ERROR<B/></Data></Cell>",
      u"<Cell/>",
      u"<Cell ss:Index=\"2\"/>",
      u"<Cell><Data/></Cell>",
      u"<Cell><Cell><Data>inner</Data></Cell></Cell>",
      u"<Cellar><Data>not a cell</Data></Cellar>",
      u"<NamedCell ss:Name=\"x\"/>",
      u"<!-- <Cell><Data>in a comment</Data></Cell> -->",
      u"\r\n    ",
  };
  static const std::vector<TextView> kDisturbances = {
      u"<?pi </Row> ?>",
      u"<Cell a='<'>",
      u"</Data>",
      u"</Rows>",
      u"<RowSet></RowSet>",
      u"<Row>",
      u"</Row >",
      u"<Cell",
      u"<a-b>",
      u"< x>",
      u"<Cell/ x>",
      u"'",
      u"\"",
      u"<B><B></B></B>",
      u"<Comment>",
      u"</Cell>",
      u"^ERROR",
  };
  const auto roll = [&rng](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  Text text = u"<?xml version=\"1.0\"?>\r\n<Workbook><Worksheet ss:Name=\"one\"><Table>\r\n";
  for (std::size_t rows = 1 + roll(4); rows > 0; --rows) {
    if (roll(10) == 0) text += u"</Table></Worksheet><Worksheet ss:Name=\"a 'b'\"><Table>";
    text += roll(4) == 0 ? u"<Row ss:Index=\"9\" ss:AutoFitHeight=\"0\">\r\n" : u"<Row>";
    for (std::size_t cells = roll(7); cells > 0; --cells) {
      text += kCells[roll(kCells.size())];
      if (roll(15) == 0) text += kDisturbances[roll(kDisturbances.size())];
    }
    text += roll(12) == 0 ? u"</Row\t>" : u"</Row>\r\n";
  }
  text += u"</Table></Worksheet></Workbook>";
  if (roll(8) == 0) text.resize(roll(text.size() + 1));
  return text;
}

Text ListText(const Bytes& bytes) {
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return u"(no byte-order mark)";
  if (bytes.size() % 2 != 0) return u"(an odd number of bytes)";
  Text text;
  for (std::size_t k = 2; k + 1 < bytes.size(); k += 2)
    text.push_back(static_cast<char16_t>(bytes[k] | (bytes[k + 1] << 8)));
  return text;
}

}  // namespace drumlo
