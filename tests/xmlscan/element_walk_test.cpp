// The one-pass element walk must give exactly the finders' extents whenever it does not give
// up, and must give up on the texts whose reading it cannot vouch for.
#include "xmlscan/element_walk.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "random_tree.h"
#include "reference_scanner.h"

namespace drumlo {
namespace {

// "name=content" for each walked element, in walk order.
std::vector<std::string> Describe(TextView text, const ElementWalk& walk) {
  std::vector<std::string> out;
  for (const WalkedElement& e : walk.Elements())
    out.push_back(Show(e.Name(text)) + "=" + Show(e.Content(text)));
  return out;
}

struct WalkCase {
  const char16_t* text;
  std::vector<std::string> elements;  // empty: the walk must give up
};

class WalkCaseTest : public testing::TestWithParam<WalkCase> {};

TEST_P(WalkCaseTest, WalksOrGivesUp) {
  const WalkCase& c = GetParam();
  const TextView text = c.text;
  ElementWalk walk;
  const bool walked = walk.Walk(text, text.find(u'<'));
  EXPECT_EQ(walked, !c.elements.empty()) << Show(text);
  if (walked) {
    EXPECT_EQ(Describe(text, walk), c.elements);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WalkCaseTest,
    testing::Values(
        WalkCase{u"<Row><Cell ss:Index=\"3\"><Data ss:Type=\"String\">x</Data></Cell></Row>",
                 {"Row=<Cell ss:Index=\"3\"><Data ss:Type=\"String\">x</Data></Cell>",
                  "Cell=<Data ss:Type=\"String\">x</Data>", "Data=x"}},
        WalkCase{u"<a><b/><c x='/>'/></a >", {"a=<b/><c x='/>'/>", "b=", "c="}},
        WalkCase{u"<a/ x>", {"a= x"}},
        WalkCase{u"<a><!-- <b></b> --></a>", {"a=<!-- <b></b> -->", "b="}},
        WalkCase{u"<a>1 > 0 <> <!x></a\r\n>", {"a=1 > 0 <> <!x>"}},
        WalkCase{u"<a t='x>y' u=\"/\">c</a>", {"a=c"}},
        // Same names nested, where the outer end prefix would match the inner end tag.
        WalkCase{u"<a><a>x</a></a>", {}},
        // An end tag that an enclosing element's end prefix also matches.
        WalkCase{u"<Row><C><RowSet></RowSet></C></Row>", {}},
        WalkCase{u"<Row><Rows></Rows></Row>", {}},
        // Markup the walk does not follow.
        WalkCase{u"<a><?p </a> ?></a>", {}}, WalkCase{u"<a b='<'></a>", {}},
        WalkCase{u"<a/ <b>>", {}}, WalkCase{u"<a><b></a>", {}}, WalkCase{u"<a>1<a>2</a>", {}},
        WalkCase{u"<a></Row></a>", {}}, WalkCase{u"<a></a", {}}, WalkCase{u"<a></ab>", {}},
        WalkCase{u"<a><b-c/></a>", {}}, WalkCase{u"<a>< b></a>", {}}, WalkCase{u"<a x='1", {}},
        WalkCase{u"<a", {}}));

// Every element the walk reports must be what FindElement finds with a cursor on its "<".
void ExpectFindersAgree(TextView text, const ElementWalk& walk) {
  for (const WalkedElement& e : walk.Elements()) {
    const Text name(e.Name(text));
    Position cursor = static_cast<Position>(e.tag_start);
    const ElementExtent want = reference::FindElement(text, u"<" + name, u"</" + name, cursor);
    SCOPED_TRACE("text " + Show(text) + " element at " + std::to_string(e.tag_start));
    ASSERT_TRUE(want.Found());
    EXPECT_EQ(want.TagStart, static_cast<Position>(e.tag_start + 1));
    EXPECT_EQ(want.NameEnd, static_cast<Position>(e.name_end + 1));
    EXPECT_EQ(want.AttrEnd, static_cast<Position>(e.attr_end + 1));
    EXPECT_EQ(want.ContentStart, static_cast<Position>(e.content_start + 1));
    EXPECT_EQ(want.ContentEnd, static_cast<Position>(e.content_end + 1));
    EXPECT_EQ(want.OuterEnd, static_cast<Position>(e.outer_end + 1));
  }
}

// Walks from every "<" of a text; returns how many walks succeeded.
int WalkEverywhere(TextView text) {
  ElementWalk walk;
  int walked = 0;
  for (std::size_t at = text.find(u'<'); at != TextView::npos; at = text.find(u'<', at + 1)) {
    if (!walk.Walk(text, at)) continue;
    ++walked;
    ExpectFindersAgree(text, walk);
  }
  return walked;
}

// Spreadsheet-like rows, sometimes disturbed in the ways that matter to the walk.
Text RandomRows(std::mt19937& rng) {
  static const std::vector<TextView> kCells = {
      u"<Cell><Data ss:Type=\"Number\">5</Data></Cell>",
      u"<Cell ss:Index=\"4\" ss:StyleID='s1'><Data ss:Type=\"String\">a &amp; b</Data></Cell>",
      u"<Cell><ss:Data xmlns=\"h\"><B><Font c=\"#F00\">x</Font></B><Font>y</Font></ss:Data>"
      u"</Cell>",
      u"<Cell><Data>n</Data><Comment ss:Author=\"q\"><ss:Data><B>c</B></ss:Data></Comment></Cell>",
      u"<Cell/>",
      u"<Cell ss:Index=\"2\"/>",
      u"<Cell><Data/></Cell>",
      u"text",
      u"<!-- x -->",
  };
  static const std::vector<TextView> kDisturbances = {
      u"<?pi ?>", u"<Cell a='<'>",   u"</Data>", u"</Rows>", u"<RowSet></RowSet>", u"<Row>",
      u"</Row >", u"<Cell",          u"<a-b>",   u"< x>",    u"<Cell/ x>",         u"'",
      u"\"",      u"<B><B></B></B>",
  };
  const auto roll = [&rng](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  Text text;
  for (std::size_t rows = 1 + roll(3); rows > 0; --rows) {
    text += roll(5) == 0 ? u"<Row ss:Height=\"18\">\r\n" : u"<Row>";
    for (std::size_t cells = roll(5); cells > 0; --cells) {
      text += kCells[roll(kCells.size())];
      if (roll(12) == 0) text += kDisturbances[roll(kDisturbances.size())];
    }
    text += roll(10) == 0 ? u"</Row\t>" : u"</Row>";
  }
  if (roll(6) == 0) text.resize(roll(text.size() + 1));
  return text;
}

TEST(ElementWalkTest, AgreesWithTheFindersOnSpreadsheetRows) {
  std::mt19937 rng(31);
  int walked = 0;
  for (int round = 0; round < 3000 && !HasFailure(); ++round)
    walked += WalkEverywhere(RandomRows(rng));
  EXPECT_GT(walked, 20000);  // most walks succeed, so the comparison covers real work
}

TEST(ElementWalkTest, AgreesWithTheFindersOnRandomTrees) {
  RandomTree trees({u"a", u"b", u"ab", u"Row", u"Rows"}, 5);
  int walked = 0;
  for (int round = 0; round < 4000 && !HasFailure(); ++round)
    walked += WalkEverywhere(trees.Build(5));
  EXPECT_GT(walked, 2000);
}

TEST(FindStartTagTest, SkipsLongerNames) {
  const TextView text = u"<RowSet><Row/><Row>";
  EXPECT_EQ(FindStartTag(text, 0, u"Row"), 8u);
  EXPECT_EQ(FindStartTag(text, 9, u"Row"), 14u);
  EXPECT_EQ(FindStartTag(text, 15, u"Row"), TextView::npos);
}

}  // namespace
}  // namespace drumlo
