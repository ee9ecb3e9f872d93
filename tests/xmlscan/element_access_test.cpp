#include "xmlscan/element_access.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "reference_scanner.h"
#include "show_text.h"

namespace drumlo {
namespace {

Text Repeat(TextView piece, std::size_t times) {
  Text out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i)
    out.append(piece);
  return out;
}

void ExpectSameExtent(const ElementExtent& got, const ElementExtent& want) {
  EXPECT_EQ(got.TagStart, want.TagStart);
  if (!want.Found()) return;
  EXPECT_EQ(got.OuterEnd, want.OuterEnd);
  EXPECT_EQ(got.NameEnd, want.NameEnd);
  EXPECT_EQ(got.AttrEnd, want.AttrEnd);
  EXPECT_EQ(got.ContentStart, want.ContentStart);
  EXPECT_EQ(got.ContentEnd, want.ContentEnd);
}

// ---------------------------------------------------------------------------------------
// Cases with known answers.

struct ContentCase {
  const char16_t* text;
  const char16_t* name;
  std::int32_t n;
  const char16_t* want;
};

void PrintTo(const ContentCase& c, std::ostream* os) {
  *os << Show(c.name) << " #" << c.n << " in \"" << Show(c.text) << '"';
}

class GetContentTest : public testing::TestWithParam<ContentCase> {};

TEST_P(GetContentTest, GivesContentOfNthElement) {
  const ContentCase& c = GetParam();
  EXPECT_EQ(GetContent(c.text, c.name, c.n), TextView(c.want)) << Show(c.text);
  EXPECT_EQ(reference::GetContent(c.text, c.name, c.n), TextView(c.want)) << Show(c.text);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, GetContentTest,
    testing::Values(ContentCase{u"<RowSet><Row>x</Row></RowSet>", u"Row", 1, u"x"},
                    ContentCase{u"<a><a>x</a></a>", u"a", 1, u"<a>x</a>"},
                    ContentCase{u"<a><a>x</a></a>", u"a", 2, u"^ERROR"},
                    ContentCase{u"<a>1<a>2</a>", u"a", 1, u"^ERROR"},
                    ContentCase{u"<a><ab><a>x</a></ab></a>", u"a", 1, u"^ERROR"},
                    ContentCase{u"<a/>", u"a", 1, u""}, ContentCase{u"<a x='1' />", u"a", 1, u""},
                    ContentCase{u"<a t='x/y>z'>c</a>", u"a", 1, u"c"},
                    ContentCase{u"<a><?p </a> ?></a>", u"a", 1, u"<?p </a> ?>"},
                    ContentCase{u"<a><? </a>", u"a", 1, u"<? "},
                    ContentCase{u"<a><!-- </a> --></a>", u"a", 1, u"<!-- "},
                    ContentCase{u"<Row>v</Row >", u"Row", 1, u"v"},
                    ContentCase{u"<Row>v</Row\r\n>", u"Row", 1, u"v"},
                    ContentCase{u"<Row>v</Rows></Row>", u"Row", 1, u"^ERROR"},
                    ContentCase{u"<r>1</r><r>2</r>", u"r", 2, u"2"},
                    ContentCase{u"<r>1</r><r>2</r>", u"r", 3, u"^ERROR"},
                    ContentCase{u"<r>1</r>", u"r", 0, u"^ERROR"},
                    ContentCase{u"<r>1</r>", u"r", -1, u"^ERROR"},
                    ContentCase{u"<r>1</r>", u"", 1, u"^ERROR"},
                    ContentCase{u"<?xml version='1.0'?><r/>", u"?xml", 1, u""},
                    ContentCase{u"<r>1</r>", u"?xml", 0, u""},
                    ContentCase{u"<Row", u"Row", 1, u"^ERROR"},
                    ContentCase{u"<Row a='1'", u"Row", 1, u"^ERROR"},
                    ContentCase{u"<Row>x</Row", u"Row", 1, u"^ERROR"},
                    ContentCase{u"<Row>x</Row  ", u"Row", 1, u"^ERROR"},
                    // The inner <b> ends after the outer candidate "</a>": it is passed over by its
                    // "<" alone, so the outer element closes at that first "</a>".
                    ContentCase{u"<a>1<b>2</a>3</b></a>", u"a", 1, u"1<b>2"},
                    ContentCase{u"<a><b></a></b>x</a>", u"a", 1, u"<b>"},
                    // Nested elements that close in time are skipped whole, here hiding a "</a>".
                    ContentCase{u"<a><b><?p </a> ?></b></a>", u"a", 1, u"<b><?p </a> ?></b>"},
                    // A self-closing nested tag ignores the limit.
                    ContentCase{u"<a><b/</a>>", u"a", 1, u"^ERROR"},
                    // A "/" inside the start tag makes it self-closing even with a ">" later.
                    ContentCase{u"<a/b>x</a>", u"a", 1, u"b"},
                    ContentCase{u"<a b=\"/\">x</a>", u"a", 1, u"x"}));

struct AttributeCase {
  const char16_t* text;
  const char16_t* name;
  const char16_t* attribute;
  const char16_t* want;
};

void PrintTo(const AttributeCase& c, std::ostream* os) {
  *os << Show(c.attribute) << " of " << Show(c.name) << " in \"" << Show(c.text) << '"';
}

class GetAttributeTest : public testing::TestWithParam<AttributeCase> {};

TEST_P(GetAttributeTest, GivesTrimmedValue) {
  const AttributeCase& c = GetParam();
  EXPECT_EQ(GetAttribute(c.text, c.name, 1, c.attribute), TextView(c.want)) << Show(c.text);
  EXPECT_EQ(reference::GetAttribute(c.text, c.name, 1, c.attribute), TextView(c.want))
      << Show(c.text);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, GetAttributeTest,
    testing::Values(AttributeCase{u"<Cell ss:Index=\"3\"><Data>x</Data></Cell>", u"Cell",
                                  u"ss:Index", u"3"},
                    AttributeCase{u"<c a = ' 5 ' ></c>", u"c", u"a", u"5"},
                    AttributeCase{u"<c a=5 b=6></c>", u"c", u"a", u"5"},
                    AttributeCase{u"<c a=5/>", u"c", u"a", u"5"},
                    AttributeCase{u"<c a=5\tb=6></c>", u"c", u"a", u"5\tb=6"},
                    AttributeCase{u"<c xa=1 a=2></c>", u"c", u"a", u"2"},
                    AttributeCase{u"<c ab=1 a=2></c>", u"c", u"a", u"2"},
                    AttributeCase{u"<c x=\"1\"a=\"2\"></c>", u"c", u"a", u"2"},
                    AttributeCase{u"<c x='1'a='2'></c>", u"c", u"a", u"^ERROR"},
                    AttributeCase{u"<c a=5>", u"c", u"a", u"^ERROR"},
                    AttributeCase{u"<c></c>", u"c", u"a", u"^ERROR"},
                    AttributeCase{u"<c/>", u"c", u"a", u"^ERROR"},
                    AttributeCase{u"<c b=1></c>", u"c", u"a", u"^ERROR"},
                    AttributeCase{u"<c a></c>", u"c", u"a", u"^ERROR"},
                    AttributeCase{u"<c a=></c>", u"c", u"a", u"^ERROR"},
                    AttributeCase{u"<c a=1></c>", u"c", u"", u"^ERROR"},
                    AttributeCase{u"<c a=\"unclosed></c>", u"c", u"a", u"^ERROR"},
                    AttributeCase{u"<c a=\"x y\" ></c>", u"c", u"a", u"x y"},
                    AttributeCase{u"<c a='&amp;'></c>", u"c", u"a", u"&amp;"},
                    AttributeCase{u"<?xml version='1.0'?><r/>", u"?xml", u"version", u"1.0"},
                    AttributeCase{u"<?xml version='1.0'?>", u"?xml", u"encoding", u"^ERROR"}));

TEST(GetContentFromTest, CursorMovesToLastGreaterThanAndStaysOnFailure) {
  const TextView text = u"<r>1</r><r>2</r>";
  Position cursor = 0;
  EXPECT_EQ(GetContentFrom(text, u"r", cursor, 1), u"1");
  EXPECT_EQ(cursor, 8);
  EXPECT_EQ(GetContentFrom(text, u"r", cursor, 1), u"2");
  EXPECT_EQ(cursor, 16);
  EXPECT_EQ(GetContentFrom(text, u"r", cursor, 1), kNotFound);
  EXPECT_EQ(cursor, 16);
}

TEST(GetContentFromTest, FailedNthSearchKeepsAdvanceOfEarlierOnes) {
  const TextView text = u"<r>1</r><r>2</r>";
  Position cursor = 0;
  EXPECT_EQ(GetContentFrom(text, u"r", cursor, 3), kNotFound);
  EXPECT_EQ(cursor, 16);
  cursor = 3;
  EXPECT_EQ(GetContentFrom(text, u"r", cursor, 0), kNotFound);
  EXPECT_EQ(cursor, 3);
}

TEST(GetContentFromTest, InstructionNameLeavesCursorAlone) {
  Position cursor = 5;
  EXPECT_EQ(GetContentFrom(u"<?xml version='1.0'?><r/>", u"?xml", cursor, 1), u"");
  EXPECT_EQ(cursor, 5);
}

TEST(GetContentFromTest, CursorOutsideTheTextFindsNothing) {
  const TextView text = u"<r>1</r>";
  for (const Position start : {-1, 8, 9, 1000, 2147483647}) {
    Position cursor = start;
    EXPECT_EQ(GetContentFrom(text, u"r", cursor, 1), kNotFound) << start;
    EXPECT_EQ(cursor, start);
  }
}

TEST(GetElementFromTest, ReturnsWholeElementAndInstruction) {
  Position cursor = 0;
  EXPECT_EQ(GetElementFrom(u"<?xml version='1.0'?><r/>", u"?xml", cursor, 1),
            u"<?xml version='1.0'?>");
  EXPECT_EQ(cursor, 21);
  EXPECT_EQ(GetElementFrom(u"<?xml version='1.0'?><r/>", u"r", cursor, 1), u"<r/>");
  EXPECT_EQ(cursor, 25);
  cursor = 0;
  EXPECT_EQ(GetElementFrom(u"<a x='1' />", u"a", cursor, 1), u"<a x='1' />");
}

TEST(GetElementFromTest, WalksCellsOfARowWithAForwardCursor) {
  const TextView row =
      u"<Row><Cell><Data>1</Data></Cell><Cell ss:Index=\"3\"><ss:Data><B>x</B></ss:Data>"
      u"</Cell><Cell/></Row>";
  Position cursor = 0;
  std::vector<Text> cells;
  for (;;) {
    const TextView cell = GetElementFrom(row, u"Cell", cursor, 1);
    if (cell == kNotFound) break;
    cells.emplace_back(cell);
  }
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(GetContent(cells[0], u"Data", 1), u"1");
  EXPECT_EQ(GetAttribute(cells[1], u"Cell", 1, u"ss:Index"), u"3");
  EXPECT_EQ(GetContent(cells[1], u"Data", 1), kNotFound);
  EXPECT_EQ(GetContent(cells[1], u"ss:Data", 1), u"<B>x</B>");
  EXPECT_EQ(cells[2], u"<Cell/>");
}

// Positions of "<a b='1'>xy</a  >" counted by hand: "<" 1, name ends 3, ">" 9, content
// 10-11, end tag 12, last ">" 17.
TEST(FindElementTest, FillsEveryPositionOfTheExtent) {
  const TextView text = u"<a b='1'>xy</a  >tail";
  Position cursor = 0;
  const ElementExtent x = FindElement(text, u"<a", u"</a", cursor);
  EXPECT_EQ(x.TagStart, 1);
  EXPECT_EQ(x.NameEnd, 3);
  EXPECT_EQ(x.AttrEnd, 9);
  EXPECT_EQ(x.ContentStart, 10);
  EXPECT_EQ(x.ContentEnd, 12);
  EXPECT_EQ(x.OuterEnd, 18);
  EXPECT_EQ(cursor, 17);
}

TEST(FindElementTest, SelfClosingExtent) {
  const TextView text = u"xx<a b/ >";
  Position cursor = 0;
  const ElementExtent x = FindElement(text, u"<a", u"</a", cursor);
  EXPECT_EQ(x.TagStart, 3);
  EXPECT_EQ(x.NameEnd, 5);
  EXPECT_EQ(x.AttrEnd, 7);
  EXPECT_EQ(x.ContentStart, 8);
  EXPECT_EQ(x.ContentEnd, 9);
  EXPECT_EQ(x.OuterEnd, 10);
  EXPECT_EQ(cursor, 9);
}

TEST(FindElementTest, ElementEndingAtLastUnitAndCursorOnFailure) {
  Position cursor = 0;
  const ElementExtent x = FindElement(u"<a></a>", u"<a", u"</a", cursor);
  EXPECT_EQ(x.OuterEnd, 8);
  EXPECT_EQ(x.ContentEnd, 4);
  EXPECT_EQ(cursor, 7);
  EXPECT_FALSE(FindElement(u"<a></a>", u"<a", u"</a", cursor).Found());
  EXPECT_EQ(cursor, 7);
}

TEST(FindInstructionTest, FillsEveryPosition) {
  Position cursor = 0;
  const ElementExtent x = FindInstruction(u"<?pi a?>", u"<?pi", cursor);
  EXPECT_EQ(x.TagStart, 1);
  EXPECT_EQ(x.NameEnd, 5);
  EXPECT_EQ(x.AttrEnd, 7);
  EXPECT_EQ(x.ContentStart, 9);
  EXPECT_EQ(x.ContentEnd, 9);
  EXPECT_EQ(x.OuterEnd, 9);
  EXPECT_EQ(cursor, 8);
}

TEST(ExtentAtTest, LimitAppliesToEndTagStartOnly) {
  const TextView text = u"<b>x</b>";
  EXPECT_EQ(ExtentAt(text, 1, 5).OuterEnd, 9);  // the end tag begins at 5
  EXPECT_FALSE(ExtentAt(text, 1, 4).Found());
  EXPECT_EQ(ExtentAt(u"<?p x?>", 1, 1).OuterEnd, 8);  // instructions ignore it
  EXPECT_EQ(ExtentAt(u"<b/>", 1, 0).OuterEnd, 5);     // self-closing tags too
  EXPECT_FALSE(ExtentAt(u"</b>", 1, 100).Found());
  EXPECT_EQ(ExtentAt(u"<!x<b/>", 1, 0).TagStart, 4);
  EXPECT_FALSE(ExtentAt(u"<b-c></b-c>", 1, 100).Found());
  EXPECT_FALSE(ExtentAt(u"ab<", 1, 100).Found());
  EXPECT_FALSE(ExtentAt(u"<b>", 0, 100).Found());
}

// ---------------------------------------------------------------------------------------
// Deep nesting. Each family states its answers as formulas of the depth; the formulas are
// checked against the direct transcription at small depths, then the scanner alone at a depth
// that would take forever (or overflow the stack) with a literal search.

struct DeepQuery {
  TextView name;
  std::int32_t n;
  std::function<Text(std::size_t)> want;  // kNotFound as a text when nothing is found
};

struct DeepFamily {
  const char* label;
  std::function<Text(std::size_t)> build;
  std::vector<DeepQuery> queries;
  std::size_t smallest;  // depths below this have special answers
};

void CheckFamily(const DeepFamily& family, std::size_t deep) {
  SCOPED_TRACE(family.label);
  for (std::size_t depth = family.smallest; depth <= 9; ++depth) {
    const Text text = family.build(depth);
    for (const DeepQuery& q : family.queries) {
      SCOPED_TRACE("depth " + std::to_string(depth) + " name " + Show(q.name));
      ASSERT_EQ(reference::GetContent(text, q.name, q.n), q.want(depth)) << "formula is wrong";
      EXPECT_EQ(GetContent(text, q.name, q.n), q.want(depth));
    }
  }
  const Text text = family.build(deep);
  for (const DeepQuery& q : family.queries) {
    // Compared as a whole, so that a failure does not print a megabyte of text.
    EXPECT_TRUE(GetContent(text, q.name, q.n) == q.want(deep)) << "deep, name " << Show(q.name);
  }
}

Text NotFoundText(std::size_t) {
  return Text(kNotFound);
}

constexpr std::size_t kDeep = 100000;

TEST(DeepNestingTest, ClosedSameName) {
  // Only the innermost <a> closes before the first "</a>"; every other one is passed over,
  // so an outer <a> ends at the second "</a>".
  const auto interior = [](std::size_t d) { return Repeat(u"<a>", d) + u"x" + Repeat(u"</a>", d); };
  CheckFamily({"closed",
               [&](std::size_t d) { return u"<w>" + interior(d) + u"</w>"; },
               {{u"w", 1, interior},
                {u"a", 1, [](std::size_t d) { return Repeat(u"<a>", d - 1) + u"x</a>"; }},
                {u"a", 2, NotFoundText}},
               2},
              kDeep);
}

TEST(DeepNestingTest, UnclosedSameName) {
  const auto interior = [](std::size_t d) { return Repeat(u"<a>", d) + u"x"; };
  CheckFamily({"unclosed",
               [&](std::size_t d) { return u"<w>" + interior(d) + u"</w>"; },
               {{u"w", 1, interior}, {u"a", 1, NotFoundText}},
               1},
              kDeep);
}

TEST(DeepNestingTest, ClosedAlternatingNames) {
  const auto interior = [](std::size_t d) {
    return Repeat(u"<a><b>", d) + u"x" + Repeat(u"</b></a>", d);
  };
  CheckFamily(
      {"alternating",
       [&](std::size_t d) { return u"<w>" + interior(d) + u"</w>"; },
       {{u"w", 1, interior},
        {u"a", 1,
         [](std::size_t d) { return u"<b>" + Repeat(u"<a><b>", d - 1) + u"x</b></a></b>"; }},
        {u"b", 1, [](std::size_t d) { return Repeat(u"<a><b>", d - 1) + u"x</b></a>"; }}},
       2},
      kDeep / 2);
}

TEST(DeepNestingTest, ClosedAmongUnclosedNames) {
  const auto interior = [](std::size_t d) {
    return Repeat(u"<a><b>", d) + u"x" + Repeat(u"</a>", d);
  };
  CheckFamily(
      {"mixed",
       [&](std::size_t d) { return u"<w>" + interior(d) + u"</w>"; },
       {{u"w", 1, interior},
        {u"a", 1, [](std::size_t d) { return u"<b>" + Repeat(u"<a><b>", d - 1) + u"x</a>"; }},
        {u"b", 1, NotFoundText}},
       2},
      kDeep / 2);
}

TEST(DeepNestingTest, RichTextCellWithFortyFonts) {
  const TextView font = u"<Font html:Color=\"#FF0000\">";
  const auto rich = [&](std::size_t d) { return Repeat(font, d) + u"t" + Repeat(u"</Font>", d); };
  const auto cell = [&](std::size_t d) {
    return u"<Cell ss:Index=\"2\"><ss:Data ss:Type=\"String\" "
           u"xmlns=\"http://www.w3.org/TR/REC-html40\">" +
           rich(d) + u"</ss:Data></Cell>";
  };
  CheckFamily(
      {"fonts",
       [&](std::size_t d) { return u"<Row>" + cell(d) + u"<Cell><Data>9</Data></Cell></Row>"; },
       {{u"ss:Data", 1, rich},
        {u"Data", 1, [](std::size_t) { return Text(u"9"); }},
        {u"Font", 1, [&](std::size_t d) { return Repeat(font, d - 1) + u"t</Font>"; }}},
       2},
      40);
  // Walked as the generation run walks a row.
  const Text row = u"<Row>" + cell(40) + u"<Cell><Data>9</Data></Cell></Row>";
  Position cursor = 0;
  const TextView first = GetElementFrom(row, u"Cell", cursor, 1);
  EXPECT_EQ(first, cell(40));
  EXPECT_EQ(GetAttribute(first, u"Cell", 1, u"ss:Index"), u"2");
  EXPECT_EQ(GetContent(first, u"ss:Data", 1), rich(40));
  EXPECT_EQ(GetElementFrom(row, u"Cell", cursor, 1), u"<Cell><Data>9</Data></Cell>");
}

TEST(DeepNestingTest, StartTagsWithQuotesPairedAcrossTags) {
  // Each start tag's apostrophe closes in the next tag; with an even count the first "/"
  // outside quotes is the one of "</w>", which makes <b> self-closing up to the text's end.
  CheckFamily({"quotes",
               [](std::size_t d) { return u"<w>" + Repeat(u"<b '", d) + u"</w>"; },
               {{u"w", 1, NotFoundText},
                {u"b", 1, [](std::size_t d) { return d % 2 == 0 ? Text(u"w") : Text(kNotFound); }}},
               2},
              kDeep);
}

// ---------------------------------------------------------------------------------------
// The fast scanner against the direct transcription.

const std::vector<TextView> kPieces = {u"<",   u">",   u"/",   u"?",  u"'",  u"\"",  u"a",
                                       u"b",   u" ",   u"=",   u"!",  u"<a", u"</a", u"<b",
                                       u"</b", u"<ab", u"<?p", u"?>", u"\t", u"x"};
const std::vector<TextView> kNames = {u"a", u"b", u"ab", u"?p", u"?", u"x", u"a'", u"a/", u""};
const std::vector<TextView> kAttributes = {u"a", u"b", u"x", u"", u"a="};

Text RandomText(std::mt19937& rng, std::size_t max_pieces) {
  std::uniform_int_distribution<std::size_t> count(0, max_pieces);
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  Text text;
  for (std::size_t i = count(rng); i > 0; --i)
    text.append(kPieces[pick(rng)]);
  return text;
}

// Random well-nested, broken or truncated element trees with attributes and quotes.
void AppendTree(std::mt19937& rng, Text& out, int depth) {
  static const std::vector<TextView> kTreeNames = {u"a", u"b", u"ab"};
  static const std::vector<TextView> kAttrs = {u"",   u" c='1'", u" c=\"/\"", u" c='>'",
                                               u" '", u" \"",    u"/"};
  static const std::vector<TextView> kEnds = {u">", u" >", u"", u"s>"};
  const auto roll = [&rng](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  const int children = depth > 6 ? 0 : static_cast<int>(roll(4));
  for (int i = 0; i < children; ++i) {
    const TextView name = kTreeNames[roll(kTreeNames.size())];
    switch (roll(6)) {
      case 0:
        out += u"x";
        continue;
      case 1:
        out += u"<?p ";
        out += roll(2) == 0 ? u"?>" : u"</a>";
        continue;
      default:
        break;
    }
    out += u"<";
    out += name;
    out += kAttrs[roll(kAttrs.size())];
    out += u">";
    AppendTree(rng, out, depth + 1);
    if (roll(5) != 0) {
      out += u"</";
      out += roll(8) == 0 ? kTreeNames[roll(kTreeNames.size())] : name;
      out += kEnds[roll(kEnds.size())];
    }
  }
}

// One scanner answers every question about a text, so that what it learns from one search is
// used by the next, as the run uses it; every answer must be the reference's.
void CompareAccessors(TextView text, std::mt19937& rng, ScanMode mode) {
  std::uniform_int_distribution<int> small_n(-1, 3);
  std::uniform_int_distribution<Position> any_cursor(-1, static_cast<Position>(text.size()) + 1);
  DocumentScanner scanner(text, mode);
  for (const TextView name : kNames) {
    const std::int32_t n = small_n(rng);
    SCOPED_TRACE("text " + Show(text) + " name " + Show(name) + " n " + std::to_string(n));
    EXPECT_EQ(scanner.GetContent(name, n), reference::GetContent(text, name, n));
    Position fast_cursor = any_cursor(rng);
    Position slow_cursor = fast_cursor;
    EXPECT_EQ(scanner.GetContentFrom(name, fast_cursor, n),
              reference::GetContentFrom(text, name, slow_cursor, n));
    EXPECT_EQ(fast_cursor, slow_cursor);
    fast_cursor = slow_cursor = any_cursor(rng);
    EXPECT_EQ(scanner.GetElementFrom(name, fast_cursor, n),
              reference::GetElementFrom(text, name, slow_cursor, n));
    EXPECT_EQ(fast_cursor, slow_cursor);
    for (const TextView attribute : kAttributes) {
      EXPECT_EQ(scanner.GetAttribute(name, n, attribute),
                reference::GetAttribute(text, name, n, attribute));
    }
  }
  // Every element of a name in turn with a forward cursor, as rows are taken.
  const TextView name = kNames[rng() % kNames.size()];
  Position fast_cursor = 0;
  Position slow_cursor = 0;
  for (int step = 0; step < 8 && !testing::Test::HasFailure(); ++step) {
    const TextView want = reference::GetElementFrom(text, name, slow_cursor, 1);
    EXPECT_EQ(scanner.GetElementFrom(name, fast_cursor, 1), want) << Show(text) << Show(name);
    EXPECT_EQ(fast_cursor, slow_cursor);
    if (want == kNotFound) break;
  }
}

void CompareFinders(TextView text, std::mt19937& rng, ScanMode mode) {
  std::uniform_int_distribution<Position> any_position(-1, static_cast<Position>(text.size()) + 2);
  SCOPED_TRACE("text " + Show(text));
  for (int i = 0; i < 4; ++i) {
    const Position start = any_position(rng);
    const Position limit = any_position(rng);
    SCOPED_TRACE("start " + std::to_string(start) + " limit " + std::to_string(limit));
    ExpectSameExtent(ExtentAt(text, start, limit, mode), reference::ExtentAt(text, start, limit));
  }
  // End prefixes that are no end tags too: "<" that starts nothing then stands for the next
  // "<" that does, wherever that lies.
  const std::vector<std::pair<TextView, TextView>> prefixes = {
      {u"<a", u"</a"}, {u"<b", u"</b"}, {u"<", u"</"}, {u"", u""},    {u"<a", u"</b"},
      {u"<a", u"<!"},  {u"<a", u"a"},   {u"<a", u"<"}, {u"<a", u"?>"}};
  for (const auto& [start_prefix, end_prefix] : prefixes) {
    Position fast_cursor = any_position(rng);
    Position slow_cursor = fast_cursor;
    ExpectSameExtent(FindElement(text, start_prefix, end_prefix, fast_cursor, mode),
                     reference::FindElement(text, start_prefix, end_prefix, slow_cursor));
    EXPECT_EQ(fast_cursor, slow_cursor);
  }
  for (const TextView prefix : {TextView(u"<?p"), TextView(u"<?"), TextView(u"<?p?>")}) {
    Position fast_cursor = any_position(rng);
    Position slow_cursor = fast_cursor;
    ExpectSameExtent(FindInstruction(text, prefix, fast_cursor, mode),
                     reference::FindInstruction(text, prefix, slow_cursor));
    EXPECT_EQ(fast_cursor, slow_cursor);
  }
}

// Each way of searching nested elements, and the two together, against the reference.
class ReferenceComparisonTest : public testing::TestWithParam<ScanMode> {};

TEST_P(ReferenceComparisonTest, RandomUnitSoups) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 6000 && !HasFailure(); ++round) {
    const Text text = RandomText(rng, 14);
    CompareAccessors(text, rng, GetParam());
    CompareFinders(text, rng, GetParam());
  }
}

TEST_P(ReferenceComparisonTest, RandomElementTrees) {
  std::mt19937 rng(7);
  for (int round = 0; round < 3000 && !HasFailure(); ++round) {
    Text text;
    AppendTree(rng, text, 0);
    if (rng() % 4 == 0 && !text.empty()) text.resize(rng() % text.size());  // cut short
    CompareAccessors(text, rng, GetParam());
    CompareFinders(text, rng, GetParam());
  }
}

std::string ModeName(const testing::TestParamInfo<ScanMode>& info) {
  switch (info.param) {
    case ScanMode::kLiteral:
      return "Literal";
    case ScanMode::kMemo:
      return "Memo";
    case ScanMode::kAuto:
      break;
  }
  return "Auto";
}

INSTANTIATE_TEST_SUITE_P(Modes, ReferenceComparisonTest,
                         testing::Values(ScanMode::kAuto, ScanMode::kLiteral, ScanMode::kMemo),
                         ModeName);

}  // namespace
}  // namespace drumlo
