// Documents with many different element names, as a whole workbook has (styles, sheets, rows,
// cells, rich text): the scanner keeps its end tags by name, first in a short list and then in
// a hash table, and must answer the same either way.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "random_tree.h"
#include "reference_scanner.h"
#include "xmlscan/element_access.h"

namespace drumlo {
namespace {

const std::vector<TextView> kWorkbookNames = {u"Workbook",
                                              u"DocumentProperties",
                                              u"Author",
                                              u"Styles",
                                              u"Style",
                                              u"Alignment",
                                              u"Borders",
                                              u"Border",
                                              u"Font",
                                              u"Interior",
                                              u"NumberFormat",
                                              u"Protection",
                                              u"Names",
                                              u"NamedRange",
                                              u"Worksheet",
                                              u"Table",
                                              u"Column",
                                              u"Row",
                                              u"Cell",
                                              u"Data",
                                              u"B",
                                              u"I",
                                              u"U",
                                              u"WorksheetOptions"};

Text Open(TextView name) {
  return u"<" + Text(name) + u">";
}

Text Close(TextView name) {
  return u"</" + Text(name) + u">";
}

// Every name opened in turn, innermost `core`, then closed in reverse order.
Text Chain(std::size_t first, std::size_t count, TextView core) {
  Text text;
  for (std::size_t i = first; i < first + count; ++i)
    text += Open(kWorkbookNames[i]);
  text += core;
  for (std::size_t i = first + count; i > first; --i)
    text += Close(kWorkbookNames[i - 1]);
  return text;
}

TEST(ManyElementNamesTest, EveryNameOfANestedChainIsFound) {
  // Inside the innermost element names already seen open again, after the list has grown
  // past its short form.
  const Text core = u"<Styles>s</Styles><Row><Cell>c</Cell></Row>";
  const Text text = Chain(0, kWorkbookNames.size(), core);
  for (std::size_t i = 0; i < kWorkbookNames.size(); ++i) {
    SCOPED_TRACE(Show(kWorkbookNames[i]));
    const Text want = Chain(i + 1, kWorkbookNames.size() - i - 1, core);
    ASSERT_EQ(reference::GetContent(text, kWorkbookNames[i], 1), want);
    EXPECT_EQ(GetContent(text, kWorkbookNames[i], 1), want);
  }
}

TEST(ManyElementNamesTest, UnclosedNameAmongManyIsPassedOver) {
  // <Border> never closes: only it is lost, every other element ends at its own end tag.
  Text text;
  for (const TextView name : kWorkbookNames)
    text += Open(name);
  text += u"x";
  for (std::size_t i = kWorkbookNames.size(); i > 0; --i) {
    if (kWorkbookNames[i - 1] != u"Border") text += Close(kWorkbookNames[i - 1]);
  }
  for (const TextView name : kWorkbookNames) {
    SCOPED_TRACE(Show(name));
    const TextView want = reference::GetContent(text, name, 1);
    EXPECT_EQ(want == kNotFound, name == u"Border");
    EXPECT_EQ(GetContent(text, name, 1), want);
  }
}

TEST(ManyElementNamesTest, RandomTreesAgreeWithTheReference) {
  RandomTree tree(kWorkbookNames, 31);
  for (int round = 0; round < 1500 && !HasFailure(); ++round) {
    const Text text = tree.Build(5);
    for (int query = 0; query < 6; ++query) {
      const TextView name = tree.AnyName();
      const auto n = static_cast<std::int32_t>(1 + tree.Roll(3));
      SCOPED_TRACE("text " + Show(text) + " name " + Show(name) + " n " + std::to_string(n));
      EXPECT_EQ(GetContent(text, name, n), reference::GetContent(text, name, n));
      Position fast_cursor = 0;
      Position slow_cursor = 0;
      EXPECT_EQ(GetElementFrom(text, name, fast_cursor, n),
                reference::GetElementFrom(text, name, slow_cursor, n));
      EXPECT_EQ(fast_cursor, slow_cursor);
      EXPECT_EQ(GetAttribute(text, name, n, u"a"), reference::GetAttribute(text, name, n, u"a"));
    }
  }
}

}  // namespace
}  // namespace drumlo
