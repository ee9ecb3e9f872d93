// The .xlsx reader on archives made here: cell values in the XML Spreadsheet 2003 form, cell
// and row placement, sheets and package structure, and parts longer than the reading window.
#include "workbook/xlsx_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "xlsx_builder.h"
#include "xlsx_test_support.h"

namespace drumlo {
namespace {

struct RowsCase {
  const char* name;
  std::string rows;            // the sheet's row elements
  std::string shared_strings;  // si elements
  std::string want;            // as ReadXlsx renders the rows
};

void PrintTo(const RowsCase& c, std::ostream* os) {
  *os << c.name;
}

class SheetRows : public testing::TestWithParam<RowsCase> {};

TEST_P(SheetRows, ReadAsTheTableSays) {
  const RowsCase& c = GetParam();
  const ReadResult read =
      ReadXlsx(XlsxBuilder().Sheet("S", c.rows).SharedStrings(c.shared_strings).Build());
  ASSERT_EQ(read.status, XlsxStatus::kOk) << XlsxStatusName(read.status) << " " << read.failed_part;
  EXPECT_EQ(read.rows, c.want);
}

const RowsCase kRowsCases[] = {
    // Values.
    {"SharedString", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)", "<si><t>歌曲</t></si>",
     "0/1:1=歌曲"},
    {"RichRunsJoined", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)",
     "<si><r><rPr><b/></rPr><t>夏の</t></r><r><rPr><color rgb=\"FFFF0000\"/></rPr>"
     "<t xml:space=\"preserve\"> 終わり</t></r></si>",
     "0/1:1=夏の 終わり"},
    {"PhoneticRunsLeftOut", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)",
     "<si><r><t>東京</t></r><r><t>都</t></r><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh>"
     "<phoneticPr fontId=\"1\" type=\"noConversion\"/></si>",
     "0/1:1=東京都"},
    {"InlineString",
     R"(<row r="1"><c r="A1" t="inlineStr"><is><r><t>in</t></r><r><t>line</t></r><rPh><t>x</t></rPh></is></c></row>)",
     "", "0/1:1=inline"},
    {"EmptyInlineStringHasAValue", R"(<row r="1"><c r="A1" t="inlineStr"><is/></c></row>)", "",
     "0/1:1="},
    {"NumbersAsStored",
     R"(<row r="1"><c r="A1"><v>3.1400000000000001</v></c><c r="B1" t="n"><v>1E+20</v></c><c r="C1"><v>-0.5</v></c></row>)",
     "", "0/1:1=3.1400000000000001 2=1E+20 3=-0.5"},
    {"Booleans", R"(<row r="1"><c r="A1" t="b"><v>1</v></c><c r="B1" t="b"><v>0</v></c></row>)", "",
     "0/1:1=1 2=0"},
    {"ErrorValues",
     R"(<row r="1"><c r="A1" t="e"><f>1/0</f><v>#DIV/0!</v></c><c r="B1" t="e"><v>#N/A</v></c></row>)",
     "", "0/1:1=#DIV/0! 2=#N/A"},
    {"FormulasByCachedValue",
     R"(<row r="1"><c r="A1"><f>B1*2</f><v>4</v></c><c r="B1" t="str"><f>"a"&amp;"b"</f><v>ab</v></c><c r="C1" t="str"><f>""</f><v></v></c></row>)",
     "", "0/1:1=4 2=ab 3="},
    {"FormulaWithoutCachedValueHasNone",
     R"(<row r="1"><c r="A1"><f>NOW()</f></c><c r="B1" t="str"><f>X</f></c><c r="C1"><v>1</v></c></row>)",
     "", "0/1:3=1"},
    {"StyledAndEmptyCellsLeftOut",
     R"(<row r="1"><c r="A1" s="3"/><c r="B1" s="2"></c><c r="C1"><v></v></c><c r="D1"><v>7</v></c></row>)",
     "", "0/1:4=7"},
    {"IsoDateAsStored", R"(<row r="1"><c r="A1" t="d"><v>2026-03-02T00:00:00</v></c></row>)", "",
     "0/1:1=2026-03-02T00:00:00"},
    // Text forms.
    {"EscapedAsTheXmlFormHoldsThem", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)",
     "<si><t>R&amp;B &lt;live&gt; \"q\" 'a'</t></si>", "0/1:1=R&amp;B &lt;live&gt; \"q\" 'a'"},
    {"LineBreaksAsReferences", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)",
     "<si><t>a&#10;b&#13;c\r\nd\re</t></si>", "0/1:1=a&#10;b&#13;c&#10;d&#10;e"},
    {"OfficeEscapesDecoded", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)",
     "<si><t>_x005F_x0041_ _x0026__x000a_ _xD83E__xDD41_ _x12G4_ _x41_</t></si>",
     "0/1:1=_x0041_ &amp;&#10; \xF0\x9F\xA5\x81 _x12G4_ _x41_"},
    {"OfficeEscapesInFormulaText",
     R"(<row r="1"><c r="A1" t="str"><f>X</f><v>a_x000D_b</v></c></row>)", "", "0/1:1=a&#13;b"},
    {"NumbersKeepUnderscores", R"(<row r="1"><c r="A1" t="e"><v>_x0041_</v></c></row>)", "",
     "0/1:1=_x0041_"},
    {"CharacterReferences", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)",
     "<si><t>&#x6B4C;&#26354; &#0; &bogus; &</t></si>", "0/1:1=歌曲 &amp;#0; &amp;bogus; &amp;"},
    {"CData",
     R"(<row r="1"><c r="A1" t="inlineStr"><is><t><![CDATA[a<b>&amp;]]></t></is></c></row>)", "",
     "0/1:1=a&lt;b&gt;&amp;amp;"},
    {"WhiteSpaceKept", R"(<row r="1"><c r="A1" t="s"><v> 0 </v></c></row>)",
     "<si><t xml:space=\"preserve\">  两边  \t</t></si>", "0/1:1=  两边  \t"},
    // Placement.
    {"ColumnsFromReferences",
     R"(<row r="1"><c r="C1"><v>3</v></c><c r="AA1"><v>27</v></c><c r="XFD1"><v>16384</v></c></row>)",
     "", "0/1:3=3 27=27 16384=16384"},
    {"ColumnsCountedWithoutReferences",
     R"(<row><c><v>1</v></c><c><v>2</v></c><c r="E1"><v>5</v></c><c><v>6</v></c><c s="1"/><c><v>8</v></c></row>)",
     "", "0/1:1=1 2=2 5=5 6=6 8=8"},
    {"RowNumbersFromReferencesAndCounted",
     R"(<row r="3"><c><v>a</v></c></row><row><c><v>b</v></c></row><row r="10"/><row><c><v>c</v></c></row>)",
     "", "0/3:1=a; 0/4:1=b; 0/10:; 0/11:1=c"},
    {"RowsWithoutValuesKept", R"(<row r="1" spans="1:3"><c r="A1" s="1"/></row>)", "", "0/1:"},
    {"PrefixedElements",
     R"(<x:row r="2"><x:c r="B2" t="s"><x:v>0</x:v></x:c><x:c r="C2" t="inlineStr"><x:is><x:t>i</x:t></x:is></x:c></x:row>)",
     "<x:si><x:t>s</x:t></x:si>", "0/2:2=s 3=i"},
    {"CommentsAndOtherElementsIgnored",
     R"(<!-- a --><row r="1"><?pi x?><c r="A1"><extLst><ext><v>9</v></ext></extLst><v>1</v></c></row>)",
     "", "0/1:1=1"},
};

INSTANTIATE_TEST_SUITE_P(All, SheetRows, testing::ValuesIn(kRowsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XlsxReaderTest, SheetsInWorkbookOrderHiddenAndChartSheetsIncluded) {
  const ReadResult read =
      ReadXlsx(XlsxBuilder()
                   .Sheet("歌曲", R"(<row r="1"><c r="A1"><v>1</v></c></row>)")
                   .ChartSheet("图表")
                   .Sheet("隠し &amp; more", R"(<row r="2"><c r="B2"><v>2</v></c></row>)", "hidden")
                   .Build());
  ASSERT_EQ(read.status, XlsxStatus::kOk);
  EXPECT_EQ(read.sheets, (std::vector<Text>{u"歌曲", u"图表", u"隠し & more"}));
  EXPECT_EQ(read.rows, "0/1:1=1; 2/2:2=2");
}

// The workbook and its sheets are found through the relationships, wherever they lie.
TEST(XlsxReaderTest, PartsFoundThroughRelationships) {
  const std::string rels_prefix =
      "<Relationships><Relationship Id=\"a\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/";
  const ReadResult read = ReadXlsx(
      XlsxBuilder()
          .Without("xl/workbook.xml")
          .Without("xl/_rels/workbook.xml.rels")
          .Part("_rels/.rels", rels_prefix + "officeDocument\" Target=\"/book/main.xml\"/>"
                                             "</Relationships>")
          .Part("book/main.xml",
                "<workbook xmlns:rel=\"r\"><sheets><sheet name=\"One\" sheetId=\"7\" rel:id=\"a\"/>"
                "<sheet name=\"Two\" sheetId=\"1\" rel:id=\"b\"/></sheets></workbook>")
          .Part("book/_rels/main.xml.rels",
                rels_prefix + "worksheet\" Target=\"../sheets/./one.xml\"/><Relationship Id=\"b\" "
                              "Type=\"http://purl.oclc.org/ooxml/officeDocument/relationships/"
                              "worksheet\" Target=\"/Sheets/Two.XML\"/><Relationship Id=\"c\" "
                              "Type=\"x/hyperlink\" Target=\"http://example.com\" "
                              "TargetMode=\"External\"/></Relationships>")
          .Part("sheets/one.xml",
                "<worksheet><sheetData><row><c><v>1</v></c></row></sheetData></worksheet>")
          .Part("sheets/two.xml",
                "<worksheet><sheetData><row><c><v>2</v></c></row></sheetData></worksheet>")
          .Build());
  ASSERT_EQ(read.status, XlsxStatus::kOk) << XlsxStatusName(read.status) << " " << read.failed_part;
  EXPECT_EQ(read.sheets, (std::vector<Text>{u"One", u"Two"}));
  EXPECT_EQ(read.rows, "0/1:1=1; 1/1:1=2");
}

TEST(XlsxReaderTest, Zip64ArchiveRead) {
  const ReadResult read =
      ReadXlsx(XlsxBuilder()
                   .Sheet("S", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)")
                   .SharedStrings("<si><t>zip64</t></si>")
                   .Build(true));
  ASSERT_EQ(read.status, XlsxStatus::kOk);
  EXPECT_EQ(read.rows, "0/1:1=zip64");
}

// Rows and shared strings that straddle the reader's 1 MiB window, and a row and a string longer
// than the window itself, come out whole.
TEST(XlsxReaderTest, PartsLongerThanTheWindowReadWhole) {
  const std::string long_text(3 << 20, 'x');
  std::string rows;
  std::string shared = "<si><t>" + long_text + "</t></si>";
  std::string want;
  for (int r = 1; r <= 30000; ++r) {
    const std::string n = std::to_string(r);
    shared += "<si><r><t>s" + n + "</t></r><r><t>&amp;</t></r></si>";
    rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"s\"><v>" + n + "</v></c><c r=\"C" + n +
            "\"><v>" + n + ".5</v></c></row>";
    want += (r == 1 ? "" : "; ") + ("0/" + n + ":1=s" + n + "&amp; 3=" + n + ".5");
    if (r == 20000) {
      rows +=
          "<row r=\"20001\"><c r=\"B20001\" t=\"s\"><v>0</v></c><c r=\"D20001\" t=\"inlineStr\">"
          "<is><t>" +
          long_text + "</t></is></c></row>";
      want += "; 0/20001:2=" + long_text + " 4=" + long_text;
    }
  }
  const ReadResult read = ReadXlsx(XlsxBuilder().Sheet("S", rows).SharedStrings(shared).Build());
  ASSERT_EQ(read.status, XlsxStatus::kOk);
  EXPECT_TRUE(read.rows == want) << "rows differ; lengths " << read.rows.size() << " and "
                                 << want.size();
}

}  // namespace
}  // namespace drumlo
