// Writes a generated song master table of about the requested size, laid out as a spreadsheet
// program saves it: preamble, styles, a header row, then rows of 8 to 12 cells with styles,
// ss:Index gaps, rich-text values, entities, notes and CJK names, about 20 songs per package.
// With --xlsx the same rows are saved as an .xlsx workbook instead (shared strings, rich-text
// runs, styles, a comments part), as many as the XML form of that size holds.
// Usage: make_workbook [--xlsx] MEGABYTES OUTPUT_FILE
// The output depends only on the size and form asked for, so cached files can be reused.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fileio/zip_writer.h"

namespace {

// A small fixed-seed generator: the same size always gives the same workbook.
class Dice {
 public:
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint32_t>(state_ >> 11);
  }
  std::uint32_t Below(std::uint32_t n) { return Next() % n; }
  bool OneIn(std::uint32_t n) { return Below(n) == 0; }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

constexpr std::string_view kPreamble =
    "<?xml version=\"1.0\"?>\r\n"
    "<?mso-application progid=\"Excel.Sheet\"?>\r\n"
    "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\r\n"
    " xmlns:o=\"urn:schemas-microsoft-com:office:office\"\r\n"
    " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\r\n"
    " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"\r\n"
    " xmlns:html=\"http://www.w3.org/TR/REC-html40\">\r\n"
    " <DocumentProperties xmlns=\"urn:schemas-microsoft-com:office:office\">\r\n"
    "  <Author>内容组</Author>\r\n  <LastAuthor>内容组</LastAuthor>\r\n"
    "  <Created>2026-03-02T08:15:00Z</Created>\r\n  <Version>16.00</Version>\r\n"
    " </DocumentProperties>\r\n"
    " <ExcelWorkbook xmlns=\"urn:schemas-microsoft-com:office:excel\">\r\n"
    "  <WindowHeight>12300</WindowHeight>\r\n  <WindowWidth>28800</WindowWidth>\r\n"
    " </ExcelWorkbook>\r\n"
    " <Styles>\r\n"
    "  <Style ss:ID=\"Default\" ss:Name=\"Normal\">\r\n"
    "   <Alignment ss:Vertical=\"Center\"/>\r\n   <Borders/>\r\n"
    "   <Font ss:FontName=\"等线\" x:CharSet=\"134\" ss:Size=\"11\" ss:Color=\"#000000\"/>\r\n"
    "   <Interior/>\r\n   <NumberFormat/>\r\n   <Protection/>\r\n"
    "  </Style>\r\n"
    "  <Style ss:ID=\"s62\">\r\n"
    "   <Font ss:FontName=\"等线\" x:CharSet=\"134\" ss:Size=\"11\" ss:Bold=\"1\"/>\r\n"
    "   <Interior ss:Color=\"#4472C4\" ss:Pattern=\"Solid\"/>\r\n"
    "  </Style>\r\n"
    "  <Style ss:ID=\"s63\">\r\n   <NumberFormat ss:Format=\"0.0\"/>\r\n  </Style>\r\n"
    " </Styles>\r\n"
    " <Worksheet ss:Name=\"歌曲总表\">\r\n"
    "  <Table x:FullColumns=\"1\" x:FullRows=\"1\" ss:DefaultColumnWidth=\"54\">\r\n"
    "   <Column ss:Width=\"48\"/>\r\n   <Column ss:Width=\"120\"/>\r\n"
    "   <Row ss:AutoFitHeight=\"0\" ss:Height=\"18\">\r\n";

constexpr std::string_view kEnding =
    "  </Table>\r\n"
    "  <WorksheetOptions xmlns=\"urn:schemas-microsoft-com:office:excel\">\r\n"
    "   <Selected/>\r\n  </WorksheetOptions>\r\n"
    " </Worksheet>\r\n"
    "</Workbook>\r\n";

// The header row: its cells' columns (0: the one after the cell before) and names.
struct HeaderCell {
  int column;
  std::string_view name;
};
constexpr HeaderCell kHeader[] = {{0, "Index"}, {0, "Name"}, {0, "ARTIST"}, {0, "genre"},
                                  {6, "LV"},    {0, "PAK"},  {0, "XML"},    {0, "IMAGE"},
                                  {0, "备注"},  {0, "BPM"}};

constexpr std::string_view kTitles[] = {"晨光序曲",    "星河漫步",        "青竹小调", "雨后彩虹",
                                        "远方的灯塔",  "鼓点狂欢",        "樱花飘落", "夏の終わり",
                                        "Night Drive", "Rock &amp; Roll", "風のうた", "龙腾四海"};
constexpr std::string_view kArtists[] = {"陈乐队",       "鼓手阿强", "山田花子", "東京ドラム隊",
                                         "R&amp;B Crew", "北方之声", "林晓风",   "The Beat Makers"};
constexpr std::string_view kGenres[] = {"摇滚", "民乐", "ポップ", "アニメ", "Jazz &amp; Blues",
                                        "电子", "古典", "流行"};
constexpr std::string_view kNoteAuthor = "内容组";
constexpr std::string_view kNoteText = "待定";

// The cells of a row as both forms hold them. Values are XML text, entities escaped; a column
// of 0 is the one after the cell before.
class TableForm {
 public:
  virtual ~TableForm() = default;
  virtual void BeginRow() = 0;
  virtual void HeaderCell(int column, std::string_view name) = 0;
  virtual void StringCell(std::string_view value, int column, bool styled) = 0;
  virtual void NumberCell(std::string_view number, int column) = 0;
  // A title split into two formatting runs, the way a rich-text cell is saved.
  virtual void RichTextCell(std::string_view first, std::string_view second) = 0;
  // A text cell with a note attached.
  virtual void NotedCell(std::string_view value) = 0;
  virtual void EndRow() = 0;
};

// Both forms at once: the XML form decides the size, the .xlsx form takes the same rows.
class BothForms final : public TableForm {
 public:
  BothForms(TableForm& a, TableForm& b) : a_(a), b_(b) {}
  void BeginRow() override {
    a_.BeginRow();
    b_.BeginRow();
  }
  void HeaderCell(int column, std::string_view name) override {
    a_.HeaderCell(column, name);
    b_.HeaderCell(column, name);
  }
  void StringCell(std::string_view value, int column, bool styled) override {
    a_.StringCell(value, column, styled);
    b_.StringCell(value, column, styled);
  }
  void NumberCell(std::string_view number, int column) override {
    a_.NumberCell(number, column);
    b_.NumberCell(number, column);
  }
  void RichTextCell(std::string_view first, std::string_view second) override {
    a_.RichTextCell(first, second);
    b_.RichTextCell(first, second);
  }
  void NotedCell(std::string_view value) override {
    a_.NotedCell(value);
    b_.NotedCell(value);
  }
  void EndRow() override {
    a_.EndRow();
    b_.EndRow();
  }

 private:
  TableForm& a_;
  TableForm& b_;
};

// The XML Spreadsheet 2003 form; without a file it only counts its bytes.
class XmlForm final : public TableForm {
 public:
  explicit XmlForm(std::FILE* out) : out_(out) { text_.reserve(1 << 20); }

  void Put(std::string_view piece) { text_.append(piece); }

  void BeginRow() override {
    if (in_header_) return;  // the preamble opens the header row with its own attributes
    Put("   <Row>\r\n");
  }
  void HeaderCell(int column, std::string_view name) override {
    Put("    <Cell");
    Put(IndexAttribute(column));
    Put(" ss:StyleID=\"s62\"><Data ss:Type=\"String\">");
    Put(name);
    Put("</Data></Cell>\r\n");
  }
  void StringCell(std::string_view value, int column, bool styled) override {
    Put("    <Cell");
    Put(IndexAttribute(column));
    if (styled) Put(" ss:StyleID=\"s63\"");
    Put("><Data ss:Type=\"String\">");
    Put(value);
    Put("</Data></Cell>\r\n");
  }
  void NumberCell(std::string_view number, int column) override {
    Put("    <Cell");
    Put(IndexAttribute(column));
    Put("><Data ss:Type=\"Number\">");
    Put(number);
    Put("</Data></Cell>\r\n");
  }
  void RichTextCell(std::string_view first, std::string_view second) override {
    Put("    <Cell><ss:Data ss:Type=\"String\" xmlns=\"http://www.w3.org/TR/REC-html40\">");
    Put("<Font html:Color=\"#FF0000\">");
    Put(first);
    Put("</Font><B><Font html:Color=\"#000000\">");
    Put(second);
    Put("</Font></B></ss:Data></Cell>\r\n");
  }
  void NotedCell(std::string_view value) override {
    Put("    <Cell><Data ss:Type=\"String\">");
    Put(value);
    Put("</Data><Comment ss:Author=\"");
    Put(kNoteAuthor);
    Put("\"><ss:Data xmlns=\"http://www.w3.org/TR/REC-html40\"><B><Font html:Face=\"宋体\">");
    Put(kNoteAuthor);
    Put(":</Font></B><Font html:Face=\"宋体\">&#10;");
    Put(kNoteText);
    Put("</Font></ss:Data></Comment></Cell>\r\n");
  }
  void EndRow() override {
    Put("   </Row>\r\n");
    in_header_ = false;
  }

  bool Flush() {
    const bool ok =
        out_ == nullptr || std::fwrite(text_.data(), 1, text_.size(), out_) == text_.size();
    written_ += text_.size();
    text_.clear();
    return ok;
  }

  std::uint64_t Size() const { return written_ + text_.size(); }

 private:
  static std::string IndexAttribute(int column) {
    return column == 0 ? std::string() : " ss:Index=\"" + std::to_string(column) + "\"";
  }

  std::FILE* out_;
  std::string text_;
  std::uint64_t written_ = 0;
  bool in_header_ = true;
};

// Column letters: 1 is A, 27 is AA.
std::string ColumnName(int column) {
  std::string name;
  for (; column > 0; column = (column - 1) / 26)
    name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
  return name;
}

// The .xlsx form as a spreadsheet program saves it: every text in the shared strings, rows and
// cells with their references, styles by number, notes in a comments part of their own.
class XlsxForm final : public TableForm {
 public:
  XlsxForm() {
    zip_.Begin("xl/worksheets/sheet1.xml");
    sheet_.reserve(1 << 20);
    sheet_ =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
        "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
        "mc:Ignorable=\"x14ac\" "
        "xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\">"
        "<dimension ref=\"A1:L1\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/>"
        "</sheetViews><sheetFormatPr defaultRowHeight=\"14.25\" x14ac:dyDescent=\"0.2\"/>"
        "<cols><col min=\"1\" max=\"1\" width=\"6\" customWidth=\"1\"/><col min=\"2\" max=\"2\" "
        "width=\"15\" customWidth=\"1\"/></cols><sheetData>";
  }

  void BeginRow() override {
    ++row_;
    column_ = 0;
    sheet_ += "<row r=\"" + std::to_string(row_) + "\" spans=\"1:12\"";
    if (row_ == 1) sheet_ += " ht=\"18\" customHeight=\"1\"";
    sheet_ += " x14ac:dyDescent=\"0.2\">";
  }
  void HeaderCell(int column, std::string_view name) override {
    Cell(column, "2", SharedString(std::string(name)));
  }
  void StringCell(std::string_view value, int column, bool styled) override {
    Cell(column, styled ? "1" : "", SharedString(std::string(value)));
  }
  void NumberCell(std::string_view number, int column) override {
    Place(column);
    sheet_ += "<c r=\"" + Reference() + "\"><v>";
    sheet_ += number;
    sheet_ += "</v></c>";
  }
  void RichTextCell(std::string_view first, std::string_view second) override {
    const std::string font = "<sz val=\"11\"/><rFont val=\"等线\"/><family val=\"3\"/>";
    Cell(0, "",
         SharedItem(Run("<color rgb=\"FFFF0000\"/>" + font, first) +
                    Run("<b/><color rgb=\"FF000000\"/>" + font, second)));
  }
  void NotedCell(std::string_view value) override {
    Cell(0, "", SharedString(std::string(value)));
    const std::string font = "<sz val=\"9\"/><rFont val=\"宋体\"/>";
    comments_ += "<comment ref=\"" + Reference() + "\" authorId=\"0\"><text>" +
                 Run("<b/>" + font, std::string(kNoteAuthor) + ":") +
                 Run(font, "&#10;" + std::string(kNoteText)) + "</text></comment>";
  }
  void EndRow() override {
    sheet_ += "</row>";
    if (sheet_.size() >= (1 << 20)) {
      zip_.Write(sheet_);
      sheet_.clear();
    }
  }

  std::string Finish() {
    sheet_ +=
        "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
        "header=\"0.3\" footer=\"0.3\"/><legacyDrawing r:id=\"rId2\"/></worksheet>";
    zip_.Write(sheet_);
    zip_.End();
    AddPackageParts();
    zip_.Add("xl/sharedStrings.xml",
             "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<sst xmlns=\""
             "http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"" +
                 std::to_string(references_) + "\" uniqueCount=\"" + std::to_string(shared_count_) +
                 "\">" + shared_ + "</sst>");
    zip_.Add("xl/comments1.xml",
             "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<comments xmlns=\""
             "http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors><author>" +
                 std::string(kNoteAuthor) + "</author></authors><commentList>" + comments_ +
                 "</commentList></comments>");
    return zip_.Finish();
  }

 private:
  void Place(int column) { column_ = column == 0 ? column_ + 1 : column; }
  std::string Reference() const { return ColumnName(column_) + std::to_string(row_); }

  void Cell(int column, std::string_view style, std::size_t shared) {
    Place(column);
    sheet_ += "<c r=\"" + Reference() + "\"";
    if (!style.empty()) sheet_ += " s=\"" + std::string(style) + "\"";
    sheet_ += " t=\"s\"><v>" + std::to_string(shared) + "</v></c>";
  }

  // A formatting run of rich text.
  static std::string Run(const std::string& properties, std::string_view text) {
    const bool spaced = !text.empty() && (text.front() == ' ' || text.back() == ' ');
    std::string run = "<r><rPr>" + properties + "</rPr><t";
    run += spaced ? " xml:space=\"preserve\">" : ">";
    return run.append(text).append("</t></r>");
  }

  std::size_t SharedString(const std::string& value) {
    // Leading or trailing spaces need xml:space; none of the generated values has them.
    return SharedItem("<t>" + value + "</t>");
  }

  std::size_t SharedItem(const std::string& item) {
    ++references_;
    const auto [it, added] = shared_index_.try_emplace(item, shared_count_);
    if (added) {
      shared_ += "<si>" + item + "</si>";
      ++shared_count_;
    }
    return it->second;
  }

  void AddPackageParts() {
    const std::string declaration =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    const std::string relationships =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::string content_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
    zip_.Add("[Content_Types].xml",
             declaration +
                 "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                 "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package."
                 "relationships+xml\"/><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                 "<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-"
                 "officedocument.vmlDrawing\"/><Override PartName=\"/xl/workbook.xml\" "
                 "ContentType=\"" +
                 content_type +
                 "sheet.main+xml\"/><Override PartName=\"/xl/"
                 "worksheets/sheet1.xml\" ContentType=\"" +
                 content_type +
                 "worksheet+xml\"/>"
                 "<Override PartName=\"/xl/styles.xml\" ContentType=\"" +
                 content_type +
                 "styles+xml\"/><Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" +
                 content_type +
                 "sharedStrings+xml\"/><Override PartName=\"/xl/comments1.xml\" "
                 "ContentType=\"" +
                 content_type + "comments+xml\"/></Types>");
    zip_.Add("_rels/.rels",
             declaration +
                 "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                 "relationships\"><Relationship Id=\"rId1\" Type=\"" +
                 relationships + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    zip_.Add("xl/workbook.xml",
             declaration +
                 "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                 "main\" xmlns:r=\"" +
                 relationships +
                 "\"><bookViews><workbookView "
                 "xWindow=\"0\" yWindow=\"0\" windowWidth=\"28800\" windowHeight=\"12300\"/>"
                 "</bookViews><sheets><sheet name=\"歌曲总表\" sheetId=\"1\" r:id=\"rId1\"/>"
                 "</sheets></workbook>");
    zip_.Add(
        "xl/_rels/workbook.xml.rels",
        declaration +
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
            "relationships\"><Relationship Id=\"rId1\" Type=\"" +
            relationships +
            "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
            relationships +
            "/styles\" Target=\"styles.xml\"/><Relationship Id=\"rId3\" "
            "Type=\"" +
            relationships +
            "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
            "</Relationships>");
    zip_.Add("xl/worksheets/_rels/sheet1.xml.rels",
             declaration +
                 "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                 "relationships\"><Relationship Id=\"rId1\" Type=\"" +
                 relationships + "/comments\" Target=\"../comments1.xml\"/></Relationships>");
    zip_.Add("xl/styles.xml",
             declaration +
                 "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/"
                 "2006/main\"><numFmts count=\"1\"><numFmt numFmtId=\"176\" "
                 "formatCode=\"0.0\"/></numFmts><fonts count=\"2\"><font><sz val=\"11\"/>"
                 "<name val=\"等线\"/><charset val=\"134\"/></font><font><b/><sz "
                 "val=\"11\"/><name val=\"等线\"/><charset val=\"134\"/></font></fonts>"
                 "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill>"
                 "<fill><patternFill patternType=\"gray125\"/></fill><fill><patternFill "
                 "patternType=\"solid\"><fgColor rgb=\"FF4472C4\"/></patternFill></fill>"
                 "</fills><borders count=\"1\"><border/></borders><cellXfs count=\"3\">"
                 "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/><xf "
                 "numFmtId=\"176\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
                 "applyNumberFormat=\"1\"/><xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" "
                 "borderId=\"0\" applyFont=\"1\" applyFill=\"1\"/></cellXfs></styleSheet>");
  }

  drumlo::ZipWriter zip_;
  std::string sheet_;
  std::uint64_t row_ = 0;
  int column_ = 0;
  std::string shared_;
  std::unordered_map<std::string, std::size_t> shared_index_;
  std::size_t shared_count_ = 0;
  std::size_t references_ = 0;
  std::string comments_;
};

void Header(TableForm& form) {
  form.BeginRow();
  for (const auto& cell : kHeader)
    form.HeaderCell(cell.column, cell.name);
  form.EndRow();
}

// One song row. The dice are thrown in a fixed order, so each form gets the same rows.
void Song(std::uint64_t number, Dice& dice, TableForm& form) {
  const std::uint64_t package = number / 20;
  std::string pak = "p";
  pak.append(std::to_string(package % 100000));
  std::string title(kTitles[dice.Below(std::size(kTitles))]);
  title.append(" ").append(std::to_string(number));
  form.BeginRow();
  form.NumberCell(std::to_string(5000 + number), 0);
  if (dice.OneIn(8)) {
    const std::size_t cut = title.rfind(' ');  // whole characters and entities on both sides
    form.RichTextCell(std::string_view(title).substr(0, cut), std::string_view(title).substr(cut));
  } else {
    form.StringCell(title, 0, dice.OneIn(4));
  }
  const std::string_view artist = kArtists[dice.Below(std::size(kArtists))];
  form.StringCell(artist, 0, dice.OneIn(4));
  const std::string_view genre = kGenres[dice.Below(std::size(kGenres))];
  form.StringCell(genre, 0, dice.OneIn(4));
  const std::uint32_t half_steps = 2 + dice.Below(9);
  form.NumberCell(std::to_string(half_steps / 2) + (half_steps % 2 ? ".5" : ""), 6);
  form.StringCell(pak, 0, dice.OneIn(4));
  const std::string xml = pak + std::to_string(number % 20);
  form.StringCell(xml, 0, dice.OneIn(4));
  form.NumberCell(std::to_string(1 + dice.Below(30)), 0);
  if (dice.OneIn(10)) {
    form.NotedCell("新歌");
  } else if (dice.OneIn(3)) {
    form.StringCell("已审核", 0, dice.OneIn(4));
  }
  if (dice.OneIn(2)) form.NumberCell(std::to_string(90 + dice.Below(100)), 10);
  if (dice.OneIn(5)) form.StringCell("x", 12, dice.OneIn(4));
  form.EndRow();
}

int Fail(const char* path) {
  std::perror(path);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool xlsx = argc == 4 && std::strcmp(argv[1], "--xlsx") == 0;
  if (argc != 3 && !xlsx) {
    std::fprintf(stderr, "usage: make_workbook [--xlsx] MEGABYTES OUTPUT_FILE\n");
    return 64;
  }
  const std::uint64_t target = std::strtoull(argv[argc - 2], nullptr, 10) * 1024 * 1024;
  const char* path = argv[argc - 1];
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return Fail(path);
  // The XML form is always made, if only to count: its size decides how many songs there are.
  XmlForm xml_form(xlsx ? nullptr : out);
  XlsxForm xlsx_form;
  BothForms both(xml_form, xlsx_form);
  TableForm& form = xlsx ? static_cast<TableForm&>(both) : xml_form;
  Dice dice;
  xml_form.Put(kPreamble);
  Header(form);
  std::uint64_t songs = 0;
  bool ok = true;
  while (ok && xml_form.Size() + kEnding.size() < target) {
    Song(songs++, dice, form);
    if (songs % 4096 == 0) ok = xml_form.Flush();
  }
  xml_form.Put(kEnding);
  ok = xml_form.Flush() && ok;
  if (xlsx) {
    const std::string archive = xlsx_form.Finish();
    ok = std::fwrite(archive.data(), 1, archive.size(), out) == archive.size() && ok;
  }
  ok = std::fclose(out) == 0 && ok;
  if (!ok) return Fail(path);
  std::printf("%s: %llu songs\n", path, static_cast<unsigned long long>(songs));
  return 0;
}
