// Cell references and attribute text, the small readers the row parsing rests on.
#include <gtest/gtest.h>

#include <ostream>

#include "workbook/cell_text.h"
#include "workbook/sheet_rows.h"

namespace drumlo {
namespace {

struct ReferenceCase {
  const char* reference;
  std::uint32_t column;  // 0: not a cell reference
};

void PrintTo(const ReferenceCase& c, std::ostream* os) {
  *os << '"' << c.reference << '"';
}

class CellReferences : public testing::TestWithParam<ReferenceCase> {};

TEST_P(CellReferences, GiveTheirColumn) {
  EXPECT_EQ(ColumnOfReference(GetParam().reference), GetParam().column) << GetParam().reference;
}

INSTANTIATE_TEST_SUITE_P(All, CellReferences,
                         testing::Values(ReferenceCase{"A1", 1}, ReferenceCase{"Z9", 26},
                                         ReferenceCase{"AA1", 27}, ReferenceCase{"AZ7", 52},
                                         ReferenceCase{"XFD1048576", 16384},
                                         ReferenceCase{"ZZZ1", 18278}, ReferenceCase{"b2", 2},
                                         ReferenceCase{"AAAA1", 0}, ReferenceCase{"A", 0},
                                         ReferenceCase{"12", 0}, ReferenceCase{"A0", 0},
                                         ReferenceCase{"A1B", 0}, ReferenceCase{"A 1", 0},
                                         ReferenceCase{"A99999999999", 0}, ReferenceCase{"", 0}));

TEST(AttributeTextTest, WhiteSpaceReadAsSpacesReferencesKept) {
  EXPECT_EQ(AttributeText("a\tb\r\nc\rd&#10;e &amp; &#x9;"), u"a b c d\ne & \t");
}

}  // namespace
}  // namespace drumlo
