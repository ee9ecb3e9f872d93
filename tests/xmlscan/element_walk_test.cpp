// The one-pass element walk must give exactly the finders' extents whenever it does not give
// up, must give up on the texts whose reading it cannot vouch for, and must tell a text cut
// short from one that more text would not mend.
#include "xmlscan/element_walk.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "random_tree.h"
#include "reference_scanner.h"
#include "show_text.h"

namespace drumlo {
namespace {

// "name=content" for each walked element, in walk order.
std::vector<std::string> Describe(TextView text, const ElementWalk& walk) {
  std::vector<std::string> out;
  for (const Extent& e : walk.Elements())
    out.push_back(Show(e.Name(text)) + "=" + Show(e.Content(text)));
  return out;
}

struct WalkCase {
  const char16_t* text;
  std::vector<std::string> elements;  // empty: the walk must give up
};

void PrintTo(const WalkCase& c, std::ostream* os) {
  *os << '"' << Show(c.text) << '"';
}

class WalkCaseTest : public testing::TestWithParam<WalkCase> {};

TEST_P(WalkCaseTest, WalksOrGivesUp) {
  const WalkCase& c = GetParam();
  const TextView text = c.text;
  ElementWalk walk;
  const bool walked = walk.Walk(text, text.find(u'<')) == WalkResult::kWalked;
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
        WalkCase{u"<a><ab><a>x</a></ab></a>", {}},  // the finders find no outer "a" here
        // Markup the walk does not follow.
        WalkCase{u"<a><?p </a> ?></a>", {}}, WalkCase{u"<a b='<'></a>", {}},
        WalkCase{u"<a/ <b>>", {}}, WalkCase{u"<a><b></a>", {}}, WalkCase{u"<a>1<a>2</a>", {}},
        WalkCase{u"<a></Row></a>", {}}, WalkCase{u"<a></a", {}}, WalkCase{u"<a></ab>", {}},
        WalkCase{u"<a><b-c/></a>", {}}, WalkCase{u"<a>< b></a>", {}}, WalkCase{u"<a x='1", {}},
        WalkCase{u"<a", {}}));

// Every element the walk reports must be what FindElement finds with a cursor on its "<".
void ExpectFindersAgree(TextView text, const ElementWalk& walk) {
  for (const Extent& e : walk.Elements()) {
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
    if (walk.Walk(text, at) != WalkResult::kWalked) continue;
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

Text Nest(const std::vector<TextView>& names, TextView core) {
  Text text;
  for (const TextView name : names)
    text += u"<" + Text(name) + u">";
  text += core;
  for (auto name = names.rbegin(); name != names.rend(); ++name)
    text += u"</" + Text(*name) + u">";
  return text;
}

// Nesting deeper than the open names are compared one by one: the names are looked up in a
// table, and must give what the comparison would. One walk serves all, in turn.
struct DeepWalkCase {
  const char* label;
  Text text;
  WalkResult want;
  std::size_t elements;  // when walked
};

TEST(ElementWalkTest, DeepNestingWalksOrGivesUpAsShallow) {
  const std::vector<TextView> ten = {u"r",  u"b1", u"b2", u"b3", u"b4",
                                     u"b5", u"b6", u"b7", u"b8", u"b9"};
  std::vector<TextView> begun = ten;
  begun.push_back(u"b2x");  // begun by the open "b2"
  const Text closed_first = Nest(ten, u"") + u"<b2x></b2x><b2><b></b></b2>";
  const std::vector<DeepWalkCase> cases = {
      {"distinct names, and an empty one begun by an open one", Nest(ten, u"<b10/>x"),
       WalkResult::kWalked, 11},
      {"name begun by an open one", Nest(begun, u""), WalkResult::kCannotVouch, 0},
      {"same name inside", Nest(ten, u"<b5>"), WalkResult::kCannotVouch, 0},
      {"names free again after closing", u"<w2>" + closed_first + u"</w2>", WalkResult::kWalked,
       14},
      {"cut short deep inside", Nest(ten, u"").substr(0, 40), WalkResult::kCutShort, 0},
  };
  ElementWalk walk;
  for (int round = 0; round < 2; ++round) {
    for (const DeepWalkCase& c : cases) {
      SCOPED_TRACE(c.label);
      const WalkResult result = walk.Walk(c.text, 0);
      EXPECT_EQ(result, c.want);
      if (result == WalkResult::kWalked) {
        EXPECT_EQ(walk.Elements().size(), c.elements);
        ExpectFindersAgree(c.text, walk);
      }
    }
  }
}

// A walk that succeeds on the beginning of a text gives what it gives on the whole text, and
// one that cannot vouch for the beginning cannot vouch for the whole: so a reader of a growing
// text tries again only when the walk was cut short.
void ExpectPrefixesAgree(TextView text, std::size_t start) {
  ElementWalk walk;
  const WalkResult whole = walk.Walk(text, start);
  const std::vector<Extent> whole_elements = walk.Elements();
  for (std::size_t length = start; length < text.size(); ++length) {
    const WalkResult part = walk.Walk(text.substr(0, length), start);
    SCOPED_TRACE(Show(text) + " cut to " + std::to_string(length));
    if (part == WalkResult::kWalked) {
      ASSERT_EQ(whole, WalkResult::kWalked);
      ASSERT_EQ(walk.Elements().size(), whole_elements.size());
      for (std::size_t k = 0; k < whole_elements.size(); ++k) {
        EXPECT_EQ(walk.Elements()[k].outer_end, whole_elements[k].outer_end);
        EXPECT_EQ(walk.Elements()[k].content_end, whole_elements[k].content_end);
      }
    } else if (part == WalkResult::kCannotVouch) {
      ASSERT_EQ(whole, WalkResult::kCannotVouch);
    }
  }
}

TEST(ElementWalkTest, BeginningsOfATextAgreeWithTheWhole) {
  std::mt19937 rng(11);
  for (int round = 0; round < 600 && !HasFailure(); ++round) {
    const Text text = RandomRows(rng);
    const std::size_t start = text.find(u'<');
    if (start != TextView::npos) ExpectPrefixesAgree(text, start);
  }
  const std::vector<TextView> deep = {u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i", u"j"};
  ExpectPrefixesAgree(Nest(deep, u"<j1>"), 0);
  ExpectPrefixesAgree(Nest(deep, u"x"), 0);
}

TEST(FindStartTagTest, SkipsLongerNames) {
  const TextView text = u"<RowSet><Row/><Row>";
  EXPECT_EQ(FindStartTag(text, 0, u"Row"), 8u);
  EXPECT_EQ(FindStartTag(text, 9, u"Row"), 14u);
  EXPECT_EQ(FindStartTag(text, 15, u"Row"), TextView::npos);
}

}  // namespace
}  // namespace drumlo
