#include "generator/numeric_value.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "show_text.h"

namespace drumlo {
namespace {

struct NumericCase {
  std::u16string_view text;
  double want;
};

void PrintTo(const NumericCase& c, std::ostream* os) {
  *os << '"' << Show(c.text) << "\" -> " << c.want;
}

class NumericValueTest : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericValueTest, ReadsTheLeadingNumber) {
  const NumericCase& c = GetParam();
  EXPECT_EQ(NumericValue(c.text), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    All, NumericValueTest,
    ::testing::Values(
        NumericCase{u"", 0}, NumericCase{u"abc", 0}, NumericCase{u"5000", 5000},
        NumericCase{u" 1 2 3", 123}, NumericCase{u"\t1\n2", 12}, NumericCase{u"1\r2", 1},
        NumericCase{u"\u00A05", 0}, NumericCase{u"\u30005", 0}, NumericCase{u"\uFF15", 0},
        NumericCase{u"-2.5", -2.5}, NumericCase{u"- 2 . 5", -2.5}, NumericCase{u"+7", 7},
        NumericCase{u".5", 0.5}, NumericCase{u"5.", 5}, NumericCase{u"1.2.3", 1.2},
        NumericCase{u".", 0}, NumericCase{u"+", 0}, NumericCase{u"-", 0}, NumericCase{u"--1", 0},
        NumericCase{u"+-1", 0}, NumericCase{u"12abc", 12}, NumericCase{u"0012", 12},
        NumericCase{u"1D3", 1000}, NumericCase{u"1d3", 1000}, NumericCase{u"1E3", 1000},
        NumericCase{u"2.5e-1", 0.25}, NumericCase{u"1 e + 2", 100}, NumericCase{u"1e 0 2", 100},
        NumericCase{u"1e", 1}, NumericCase{u"1e+", 1}, NumericCase{u"1e-", 1},
        NumericCase{u"1ex", 1}, NumericCase{u"1e2.5", 100}, NumericCase{u"e5", 0},
        NumericCase{u".e5", 0}, NumericCase{u"0.1", 0.1}, NumericCase{u"1e-999", 0},
        NumericCase{u"0e999999999999999999999", 0},
        NumericCase{u"1e999", std::numeric_limits<double>::infinity()},
        NumericCase{u"-1e999", -std::numeric_limits<double>::infinity()},
        NumericCase{u"0.00001e309", 1e304}, NumericCase{u"100000e-310", 1e-305},
        NumericCase{u"1e99999999999999999999", std::numeric_limits<double>::infinity()},
        NumericCase{u"1e-99999999999999999999", 0},
        NumericCase{u"9007199254740993", 9007199254740992.0},  // correctly rounded to even
        NumericCase{u"&H1F", 31}, NumericCase{u"&h1f", 31}, NumericCase{u"&o17", 15},
        NumericCase{u"&O17", 15}, NumericCase{u"&H", 0}, NumericCase{u"&O8", 0},
        NumericCase{u"&H1G", 1}, NumericCase{u"&HFFFF", 65535},
        NumericCase{u"&HFFFFFFFF", 4294967295.0}, NumericCase{u"&H 1 F", 31},
        NumericCase{u"& H10", 16}, NumericCase{u"-&H10", 0}, NumericCase{u"&H-1", 0},
        NumericCase{u"&H1.5", 1}, NumericCase{u"&X1", 0}, NumericCase{u"&", 0},
        NumericCase{u"&H10000000000000000", 18446744073709551616.0},
        NumericCase{u"&O1777777777777777777777", 18446744073709551615.0}));

TEST(NumericValueTest, NegativeZeroAndPlainZeroBothRoundToZero) {
  EXPECT_EQ(RoundToInt32(NumericValue(u"-0")), 0);
  EXPECT_EQ(RoundToByte(2 * NumericValue(u"-0.2")), 0);
}

TEST(NumericValueTest, VeryLongHexSaturatesToInfinity) {
  const std::u16string digits(400, u'F');
  EXPECT_EQ(NumericValue(u"&H" + digits), std::numeric_limits<double>::infinity());
  EXPECT_FALSE(RoundToInt32(NumericValue(u"&H" + digits)).has_value());
}

TEST(NumericValueTest, VeryLongDecimalIsRead) {
  const std::u16string ones(1000, u'1');
  EXPECT_EQ(NumericValue(u"0." + std::u16string(500, u'0') + u"5e501"), 5);
  EXPECT_EQ(NumericValue(ones), std::numeric_limits<double>::infinity());
  EXPECT_DOUBLE_EQ(NumericValue(ones + u"e-999"), 1.111111111111111);
}

struct Int32Case {
  double value;
  std::optional<std::int32_t> want;
};

void PrintTo(const Int32Case& c, std::ostream* os) {
  *os << c.value << " -> " << (c.want ? std::to_string(*c.want) : "does not fit");
}

class RoundToInt32Test : public ::testing::TestWithParam<Int32Case> {};

TEST_P(RoundToInt32Test, RoundsHalvesToEvenWithinRange) {
  const Int32Case& c = GetParam();
  EXPECT_EQ(RoundToInt32(c.value), c.want) << c.value;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    All, RoundToInt32Test,
    ::testing::Values(Int32Case{-2.5, -2}, Int32Case{-1.5, -2}, Int32Case{-0.5, 0},
                      Int32Case{0.5, 0}, Int32Case{1.5, 2}, Int32Case{4.5, 4}, Int32Case{5.5, 6},
                      Int32Case{5000.5, 5000}, Int32Case{5001.5, 5002}, Int32Case{2.4999, 2},
                      Int32Case{2.5001, 3}, Int32Case{-2.6, -3}, Int32Case{0.49999999999999994, 0},
                      Int32Case{2147483647.0, 2147483647}, Int32Case{2147483647.4, 2147483647},
                      Int32Case{2147483647.5, std::nullopt}, Int32Case{2147483648.0, std::nullopt},
                      Int32Case{-2147483648.0, -2147483647 - 1},
                      Int32Case{-2147483648.5, -2147483647 - 1},
                      Int32Case{-2147483648.6, std::nullopt},
                      Int32Case{-2147483649.0, std::nullopt}, Int32Case{4294967295.0, std::nullopt},
                      Int32Case{1e300, std::nullopt}, Int32Case{kInf, std::nullopt},
                      Int32Case{-kInf, std::nullopt},
                      Int32Case{std::numeric_limits<double>::quiet_NaN(), std::nullopt}));

struct ByteCase {
  double value;
  std::optional<std::uint8_t> want;
};

void PrintTo(const ByteCase& c, std::ostream* os) {
  *os << c.value << " -> " << (c.want ? std::to_string(*c.want) : "does not fit");
}

class RoundToByteTest : public ::testing::TestWithParam<ByteCase> {};

TEST_P(RoundToByteTest, RoundsHalvesToEvenWithinRange) {
  const ByteCase& c = GetParam();
  EXPECT_EQ(RoundToByte(c.value), c.want) << c.value;
}

INSTANTIATE_TEST_SUITE_P(All, RoundToByteTest,
                         ::testing::Values(ByteCase{0, 0}, ByteCase{-0.5, 0}, ByteCase{-0.6, {}},
                                           ByteCase{-1, {}}, ByteCase{254.5, 254},
                                           ByteCase{255.4, 255}, ByteCase{255.5, {}},
                                           ByteCase{256, {}}, ByteCase{7, 7}, ByteCase{kInf, {}},
                                           ByteCase{std::numeric_limits<double>::quiet_NaN(), {}}));

// Decimal texts of every length and exponent must convert to the correctly rounded double,
// whichever way the conversion takes.
TEST(NumericValueTest, DecimalsConvertCorrectlyRounded) {
  std::mt19937 rng(99);
  const auto roll = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  for (int round = 0; round < 20000; ++round) {
    std::string digits;
    for (int count = 1 + roll(19); count > 0; --count)
      digits.push_back(static_cast<char>('0' + roll(10)));
    if (roll(2) == 0)
      digits.insert(static_cast<std::size_t>(roll(static_cast<int>(digits.size()))), ".");
    std::string ascii = (roll(4) == 0 ? "-" : "") + digits;
    if (roll(2) == 0) ascii += "e" + std::to_string(roll(61) - 30);
    double want = 0;
    std::from_chars(ascii.data(), ascii.data() + ascii.size(), want);
    const Text text(ascii.begin(), ascii.end());
    ASSERT_EQ(NumericValue(text), want) << ascii;
  }
}

}  // namespace
}  // namespace drumlo
