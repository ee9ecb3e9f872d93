#include "generator/upper_case.h"
#include "generator/upper_case_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ci.h"

namespace drumlo {
namespace {

struct UpperCase16 {
  char16_t unit;
  char16_t want;
};

void PrintTo(const UpperCase16& c, std::ostream* os) {
  *os << std::hex << "U+" << static_cast<unsigned>(c.unit) << " -> U+"
      << static_cast<unsigned>(c.want);
}

class SimpleUpperTest : public ::testing::TestWithParam<UpperCase16> {};

TEST_P(SimpleUpperTest, MapsOneUnitToOneUnit) {
  const UpperCase16& c = GetParam();
  EXPECT_EQ(static_cast<int>(SimpleUpper(c.unit)), static_cast<int>(c.want))
      << std::hex << "U+" << static_cast<int>(c.unit);
}

INSTANTIATE_TEST_SUITE_P(
    All, SimpleUpperTest,
    ::testing::Values(
        UpperCase16{u'a', u'A'}, UpperCase16{u'z', u'Z'}, UpperCase16{u'A', u'A'},
        UpperCase16{u'@', u'@'}, UpperCase16{u'[', u'['}, UpperCase16{u'`', u'`'},
        UpperCase16{u'{', u'{'}, UpperCase16{0, 0}, UpperCase16{0x00E0, 0x00C0},  // à
        UpperCase16{0x00F7, 0x00F7},  // division sign sits between the small letters
        UpperCase16{0x00FF, 0x0178},  // ÿ -> Ÿ, outside Latin-1
        UpperCase16{0x00DF, 0x00DF},  // ß has no single-unit uppercase
        UpperCase16{0x00B5, 0x039C},  // micro sign -> Greek capital mu
        UpperCase16{0x0101, 0x0100}, UpperCase16{0x0100, 0x0100},  // alternating block
        UpperCase16{0x0102, 0x0102}, UpperCase16{0x0103, 0x0102},  // capitals between stay
        UpperCase16{0x012E, 0x012E}, UpperCase16{0x012F, 0x012E},
        UpperCase16{0x0131, 0x0049},                               // dotless i -> I
        UpperCase16{0x017F, 0x0053},                               // long s -> S
        UpperCase16{0x01C4, 0x01C4}, UpperCase16{0x01C5, 0x01C4},  // title case DŽ
        UpperCase16{0x01C6, 0x01C4}, UpperCase16{0x03B1, 0x0391},  // Greek alpha
        UpperCase16{0x03C2, 0x03A3},                               // final sigma
        UpperCase16{0x03C9, 0x03A9}, UpperCase16{0x0390, 0x0390},  // no single-unit upper
        UpperCase16{0x0430, 0x0410}, UpperCase16{0x044F, 0x042F},  // Cyrillic а, я
        UpperCase16{0x0451, 0x0401}, UpperCase16{0x0461, 0x0460},  // ё, omega
        UpperCase16{0x0561, 0x0531},                               // Armenian
        UpperCase16{0x1E01, 0x1E00}, UpperCase16{0x1E9E, 0x1E9E},  // capital sharp s stays
        UpperCase16{0x1F00, 0x1F08}, UpperCase16{0x1F80, 0x1F88},  // Greek extended
        UpperCase16{0x2170, 0x2160},                               // small roman numeral
        UpperCase16{0x24D0, 0x24B6},                               // circled a
        UpperCase16{0x2C65, 0x023A}, UpperCase16{0x2D00, 0x10A0},  // Georgian
        UpperCase16{0xA641, 0xA640}, UpperCase16{0xAB70, 0x13A0},  // Cherokee
        UpperCase16{0xFF41, 0xFF21}, UpperCase16{0xFF5A, 0xFF3A},  // fullwidth a, z
        UpperCase16{0xFF21, 0xFF21}, UpperCase16{0x6B4C, 0x6B4C},  // CJK stays
        UpperCase16{0xD801, 0xD801}, UpperCase16{0xDC28, 0xDC28},  // Deseret halves stay
        UpperCase16{0xFFFF, 0xFFFF}));

TEST(UpperCaseTest, UpperCasesEveryUnit) {
  EXPECT_EQ(UpperCase(u"index"), u"INDEX");
  EXPECT_EQ(UpperCase(u"Artist 2"), u"ARTIST 2");
  EXPECT_EQ(UpperCase(u"stra\u00DFe"), u"STRA\u00DFE");
  // Deseret small long I (U+10428) has an uppercase outside one unit's reach: both units stay.
  EXPECT_EQ(UpperCase(u"\U00010428x"), u"\U00010428X");
  EXPECT_EQ(UpperCase(u""), u"");
}

// The lookup is a binary search: runs must be sorted, apart and land inside the BMP.
TEST(UpperCaseTest, TableRunsAreSortedAndDisjoint) {
  int previous_last = -1;
  for (const upper_table::UpperRun& run : upper_table::kUpperRuns) {
    EXPECT_GT(static_cast<int>(run.first), previous_last);
    EXPECT_LE(run.first, run.last);
    EXPECT_TRUE(run.step == 1 || run.step == 2);
    EXPECT_EQ((run.last - run.first) % run.step, 0);
    EXPECT_GE(run.first + run.delta, 0);
    EXPECT_LE(run.last + run.delta, 0xFFFF);
    previous_last = run.last;
  }
}

// Checks every BMP unit against UnicodeData.txt when the system has it (Debian: unicode-data).
TEST(UpperCaseTest, AgreesWithUnicodeDataForEveryUnit) {
  std::ifstream data("/usr/share/unicode/UnicodeData.txt");
  if (!data && InCi()) FAIL() << "UnicodeData.txt not installed";
  if (!data) GTEST_SKIP() << "UnicodeData.txt not installed";
  std::vector<char16_t> want(0x10000);
  for (std::size_t unit = 0; unit < want.size(); ++unit)
    want[unit] = static_cast<char16_t>(unit);
  std::string line;
  while (std::getline(data, line)) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, ';');)
      fields.push_back(field);
    if (fields.size() < 13 || fields[12].empty()) continue;
    const unsigned long code = std::stoul(fields[0], nullptr, 16);
    const unsigned long upper = std::stoul(fields[12], nullptr, 16);
    if (code <= 0xFFFF && upper <= 0xFFFF) want[code] = static_cast<char16_t>(upper);
  }
  int mismatches = 0;
  for (std::size_t unit = 0; unit < want.size(); ++unit) {
    const char16_t got = SimpleUpper(static_cast<char16_t>(unit));
    if (got != want[unit] && ++mismatches <= 10) {
      ADD_FAILURE() << std::hex << "U+" << unit << " gives U+" << static_cast<int>(got)
                    << ", want U+" << static_cast<int>(want[unit]);
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace drumlo
