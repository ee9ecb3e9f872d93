// The n-th element is found by one scanner searching n times, and that scanner remembers what
// it learned about tags and nesting between the searches. Its answers must be those of n
// searches made one at a time from the cursor, each by a fresh scanner.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "random_tree.h"
#include "reference_scanner.h"
#include "show_text.h"
#include "xmlscan/element_access.h"

namespace drumlo {
namespace {

struct NthCase {
  const char16_t* text;
  const char16_t* name;
  std::vector<const char16_t*> contents;  // for n = 1, 2, ...; then nothing more is found
};

void PrintTo(const NthCase& c, std::ostream* os) {
  *os << Show(c.name) << " in \"" << Show(c.text) << '"';
}

class NthContentTest : public testing::TestWithParam<NthCase> {};

TEST_P(NthContentTest, GivesEachElementThenNothing) {
  const NthCase& c = GetParam();
  const TextView text = c.text;
  SCOPED_TRACE(Show(text));
  std::vector<TextView> wants(c.contents.begin(), c.contents.end());
  wants.push_back(kNotFound);
  for (std::size_t i = 0; i < wants.size(); ++i) {
    const auto n = static_cast<std::int32_t>(i + 1);
    SCOPED_TRACE("n " + std::to_string(n));
    EXPECT_EQ(reference::GetContent(text, c.name, n), wants[i]);
    EXPECT_EQ(GetContent(text, c.name, n), wants[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    TagsSeenBefore, NthContentTest,
    testing::Values(
        // The unclosed <b> makes the scanner remember. The quote of <c> hides "</a>" from the
        // tag but not from the end-tag search, so the first <a> ends inside the quote, and the
        // second search starts at the "<" just after the quote, where the tag of <c> was read.
        NthCase{u"<a><b><c q='</a>'<a>x</a>", u"a", {u"<b><c q='", u"x"}},
        NthCase{u"<Row><Cell><Data ss:Type=\"</Row>\"<Row>2</Row><Row>3</Row>",
                u"Row",
                {u"<Cell><Data ss:Type=\"", u"2", u"3"}},
        // The same tag found again by the next search after it was read as a nested one.
        NthCase{u"<a><b></a><a>1</a>", u"a", {u"<b>", u"1"}},
        NthCase{u"<a><b><a t='/'>1</a></a><a t='/'>2</a>", u"a", {u"<b><a t='/'>1</a>", u"2"}}));

// Stepping with a fresh scanner per element must match the n-th search of a shared one.
void ExpectSameAsOneAtATime(TextView text, TextView name, std::int32_t n) {
  Position shared_cursor = 0;
  const TextView shared = GetContentFrom(text, name, shared_cursor, n);
  Position cursor = 0;
  TextView stepped = kNotFound;
  for (std::int32_t i = 0; i < n; ++i) {
    stepped = GetContentFrom(text, name, cursor, 1);
    if (stepped == kNotFound) break;
  }
  EXPECT_EQ(shared, stepped);
  EXPECT_EQ(shared_cursor, cursor);
}

TEST(RepeatedSearchTest, RandomTreesGiveTheSameAsOneSearchAtATime) {
  const std::vector<TextView> names = {u"a", u"b", u"Row", u"Cell", u"Data", u"B"};
  RandomTree tree(names, 97);
  for (int round = 0; round < 2000 && !HasFailure(); ++round) {
    const Text text = tree.Build(7);
    for (const TextView name : names) {
      SCOPED_TRACE("text " + Show(text) + " name " + Show(name));
      for (std::int32_t n = 2; n <= 4; ++n)
        ExpectSameAsOneAtATime(text, name, n);
    }
  }
}

}  // namespace
}  // namespace drumlo
