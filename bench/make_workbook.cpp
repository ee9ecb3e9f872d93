// Writes a generated song master table of about the requested size, laid out as a spreadsheet
// program saves it: preamble, styles, a header row, then rows of 8 to 12 cells with styles,
// ss:Index gaps, rich-text values, entities, notes and CJK names, about 20 songs per package.
// Usage: make_workbook MEGABYTES OUTPUT_FILE
// The output depends only on the size asked for, so cached files can be reused.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

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
    "   <Row ss:AutoFitHeight=\"0\" ss:Height=\"18\">\r\n"
    "    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"String\">Index</Data></Cell>\r\n"
    "    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"String\">Name</Data></Cell>\r\n"
    "    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"String\">ARTIST</Data></Cell>\r\n"
    "    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"String\">genre</Data></Cell>\r\n"
    "    <Cell ss:Index=\"6\" ss:StyleID=\"s62\"><Data ss:Type=\"String\">LV</Data></Cell>\r\n"
    "    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"String\">PAK</Data></Cell>\r\n"
    "    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"String\">XML</Data></Cell>\r\n"
    "    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"String\">IMAGE</Data></Cell>\r\n"
    "    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"String\">备注</Data></Cell>\r\n"
    "    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"String\">BPM</Data></Cell>\r\n"
    "   </Row>\r\n";

constexpr std::string_view kEnding =
    "  </Table>\r\n"
    "  <WorksheetOptions xmlns=\"urn:schemas-microsoft-com:office:excel\">\r\n"
    "   <Selected/>\r\n  </WorksheetOptions>\r\n"
    " </Worksheet>\r\n"
    "</Workbook>\r\n";

constexpr std::string_view kTitles[] = {"晨光序曲", "星河漫步", "青竹小调", "雨后彩虹",
                                        "远方的灯塔", "鼓点狂欢", "樱花飘落", "夏の終わり",
                                        "Night Drive", "Rock &amp; Roll", "風のうた", "龙腾四海"};
constexpr std::string_view kArtists[] = {"陈乐队",     "鼓手阿强", "山田花子", "東京ドラム隊",
                                         "R&amp;B Crew", "北方之声", "林晓风",   "The Beat Makers"};
constexpr std::string_view kGenres[] = {"摇滚", "民乐", "ポップ", "アニメ",
                                        "Jazz &amp; Blues", "电子", "古典", "流行"};

class WorkbookWriter {
 public:
  explicit WorkbookWriter(std::FILE* out) : out_(out) { text_.reserve(1 << 20); }

  void Put(std::string_view piece) { text_.append(piece); }
  void Put(std::uint64_t number) { text_.append(std::to_string(number)); }

  // Text cells of the plain kind, sometimes with a style.
  void StringCell(std::string_view value, std::string_view index_attr = {}) {
    Put("    <Cell");
    Put(index_attr);
    if (dice_.OneIn(4)) Put(" ss:StyleID=\"s63\"");
    Put("><Data ss:Type=\"String\">");
    Put(value);
    Put("</Data></Cell>\r\n");
  }

  void NumberCell(std::string_view number_text, std::string_view index_attr = {}) {
    Put("    <Cell");
    Put(index_attr);
    Put("><Data ss:Type=\"Number\">");
    Put(number_text);
    Put("</Data></Cell>\r\n");
  }

  // A title split into two formatting runs, the way a rich-text cell is saved.
  void RichTextCell(std::string_view value) {
    const std::size_t cut = value.rfind(' ');  // whole characters and entities on both sides
    Put("    <Cell><ss:Data ss:Type=\"String\" xmlns=\"http://www.w3.org/TR/REC-html40\">");
    Put("<Font html:Color=\"#FF0000\">");
    Put(value.substr(0, cut));
    Put("</Font><B><Font html:Color=\"#000000\">");
    Put(value.substr(cut));
    Put("</Font></B></ss:Data></Cell>\r\n");
  }

  void Song(std::uint64_t number) {
    const std::uint64_t package = number / 20;
    std::string pak = "p";
    pak.append(std::to_string(package % 100000));
    std::string title(kTitles[dice_.Below(std::size(kTitles))]);
    title.append(" ").append(std::to_string(number));
    Put("   <Row>\r\n");
    NumberCell(std::to_string(5000 + number));
    if (dice_.OneIn(8)) {
      RichTextCell(title);
    } else {
      StringCell(title);
    }
    StringCell(kArtists[dice_.Below(std::size(kArtists))]);
    StringCell(kGenres[dice_.Below(std::size(kGenres))]);
    const std::uint32_t half_steps = 2 + dice_.Below(9);
    NumberCell(std::to_string(half_steps / 2) + (half_steps % 2 ? ".5" : ""), " ss:Index=\"6\"");
    StringCell(pak);
    StringCell(pak + std::to_string(number % 20));
    NumberCell(std::to_string(1 + dice_.Below(30)));
    if (dice_.OneIn(10)) {
      Put("    <Cell><Data ss:Type=\"String\">新歌</Data><Comment ss:Author=\"内容组\">"
          "<ss:Data xmlns=\"http://www.w3.org/TR/REC-html40\"><B><Font html:Face=\"宋体\">"
          "内容组:</Font></B><Font html:Face=\"宋体\">&#10;待定</Font></ss:Data></Comment>"
          "</Cell>\r\n");
    } else if (dice_.OneIn(3)) {
      StringCell("已审核");
    }
    if (dice_.OneIn(2)) NumberCell(std::to_string(90 + dice_.Below(100)), " ss:Index=\"10\"");
    if (dice_.OneIn(5)) StringCell("x", " ss:Index=\"12\"");
    Put("   </Row>\r\n");
  }

  bool Flush() {
    const bool ok = std::fwrite(text_.data(), 1, text_.size(), out_) == text_.size();
    written_ += text_.size();
    text_.clear();
    return ok;
  }

  std::uint64_t Size() const { return written_ + text_.size(); }

 private:
  std::FILE* out_;
  std::string text_;
  std::uint64_t written_ = 0;
  Dice dice_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_workbook MEGABYTES OUTPUT_FILE\n");
    return 64;
  }
  const std::uint64_t target = std::strtoull(argv[1], nullptr, 10) * 1024 * 1024;
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  WorkbookWriter writer(out);
  writer.Put(kPreamble);
  std::uint64_t songs = 0;
  bool ok = true;
  while (ok && writer.Size() + kEnding.size() < target) {
    writer.Song(songs++);
    if (songs % 4096 == 0) ok = writer.Flush();
  }
  writer.Put(kEnding);
  ok = writer.Flush() && ok;
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    std::perror(argv[2]);
    return 1;
  }
  std::printf("%s: %llu songs\n", argv[2], static_cast<unsigned long long>(songs));
  return 0;
}
