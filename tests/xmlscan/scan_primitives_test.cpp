#include "xmlscan/scan_primitives.h"
#include "show_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace drumlo {
namespace {

struct ClassRange {
  std::uint32_t first;
  std::uint32_t last;
  std::int32_t klass;
};

// Written out independently of the implementation's table, in code-unit order.
const std::vector<ClassRange> kExpectedClasses = {
    {0x0000, 0x0008, 0}, {0x0009, 0x000D, 2}, {0x000E, 0x001F, 0}, {0x0020, 0x0020, 2},
    {0x0021, 0x002F, 0}, {0x0030, 0x003A, 1}, {0x003B, 0x0040, 0}, {0x0041, 0x005A, 1},
    {0x005B, 0x005E, 0}, {0x005F, 0x005F, 1}, {0x0060, 0x0060, 0}, {0x0061, 0x007A, 1},
    {0x007B, 0x0084, 0}, {0x0085, 0x0085, 2}, {0x0086, 0x009F, 0}, {0x00A0, 0x00A0, 2},
    {0x00A1, 0x00BF, 0}, {0x00C0, 0x00D6, 1}, {0x00D7, 0x00D7, 0}, {0x00D8, 0x00F6, 1},
    {0x00F7, 0x00F7, 0}, {0x00F8, 0x02FF, 1}, {0x0300, 0x036F, 0}, {0x0370, 0x037D, 1},
    {0x037E, 0x037E, 0}, {0x037F, 0x167F, 1}, {0x1680, 0x1680, 2}, {0x1681, 0x1FFF, 1},
    {0x2000, 0x200A, 2}, {0x200B, 0x200B, 0}, {0x200C, 0x200D, 1}, {0x200E, 0x2027, 0},
    {0x2028, 0x2029, 2}, {0x202A, 0x202E, 0}, {0x202F, 0x202F, 2}, {0x2030, 0x205E, 0},
    {0x205F, 0x205F, 2}, {0x2060, 0x206F, 0}, {0x2070, 0x218F, 1}, {0x2190, 0x2BFF, 0},
    {0x2C00, 0x2FEF, 1}, {0x2FF0, 0x2FFF, 0}, {0x3000, 0x3000, 2}, {0x3001, 0xDB7F, 1},
    {0xDB80, 0xDBFF, 0}, {0xDC00, 0xDFFF, 1}, {0xE000, 0xF8FF, 0}, {0xF900, 0xFDCF, 1},
    {0xFDD0, 0xFDEF, 0}, {0xFDF0, 0xFFFD, 1}, {0xFFFE, 0xFFFF, 0},
};

TEST(CharClassTest, EveryCodeUnitMatchesTheRangeTable) {
  std::uint32_t next = 0;
  for (const ClassRange& r : kExpectedClasses) {
    ASSERT_EQ(r.first, next) << "expected table has a gap";
    for (std::uint32_t u = r.first; u <= r.last; ++u) {
      ASSERT_EQ(CharClass(static_cast<char16_t>(u)), r.klass) << "code unit U+" << std::hex << u;
    }
    next = r.last + 1;
  }
  EXPECT_EQ(next, 0x10000u);
}

struct FindCase {
  const char16_t* text;
  Position start;
  char16_t target;
  Position want;
};

void PrintTo(const FindCase& c, std::ostream* os) {
  *os << "'" << static_cast<char>(c.target < 0x80 ? c.target : '?') << "' from " << c.start
      << " in \"" << Show(c.text) << '"';
}

class FindUnquotedTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindUnquotedTest, FindsFirstUnquotedTarget) {
  const FindCase& c = GetParam();
  EXPECT_EQ(FindUnquoted(c.start, c.text, c.target), c.want)
      << "text: " << testing::PrintToString(Text(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindUnquotedTest,
    testing::Values(FindCase{u"a='x>y'>", 1, u'>', 8}, FindCase{u"a=\"x>y\">", 1, u'>', 8},
                    FindCase{u"\"it's\">", 1, u'>', 7},   // apostrophe inside quotes is text
                    FindCase{u"'say \"x'>", 1, u'>', 9},  // quote inside apostrophes is text
                    FindCase{u"a='x>", 1, u'>', 0},       // unbalanced quote hides the target
                    FindCase{u"ab>", 4, u'>', 0},         // start beyond the end
                    FindCase{u"ab>", 3, u'>', 3},         // start on the target
                    FindCase{u"ab>", 0, u'>', 0},         // start below 1
                    FindCase{u"'>'>", 2, u'>', 2},        // quoting state starts clear at start
                    FindCase{u"''>", 1, u'\'', 1},        // a quote can be the target itself
                    FindCase{u"", 1, u'>', 0}));

struct TextCase {
  const char16_t* in;
  const char16_t* want;
};

void PrintTo(const TextCase& c, std::ostream* os) {
  *os << '"' << Show(c.in) << '"';
}

class StripTagsTest : public testing::TestWithParam<TextCase> {};

TEST_P(StripTagsTest, RemovesTags) {
  EXPECT_EQ(StripTags(GetParam().in), Text(GetParam().want));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StripTagsTest,
    testing::Values(TextCase{u"a<b>c</b>d", u"acd"}, TextCase{u"x<y", u"x<y"},
                    TextCase{u"a<b t='1>2'>c", u"ac"}, TextCase{u"a>b", u"a>b"},
                    TextCase{u"<a>", u""}, TextCase{u"", u""}, TextCase{u"plain", u"plain"},
                    TextCase{u"<B><Font>AR</Font></B><Font>TIST</Font>", u"ARTIST"},
                    TextCase{u"a<b>c<d", u"ac<d"},         // second tag unclosed: kept
                    TextCase{u"<>x<>", u"x"},              // empty tags
                    TextCase{u"a<b\">\"c", u"a<b\">\"c"},  // quoted ">" never closes: kept
                    TextCase{u" &amp; <i>x</i> ", u" &amp; x "}));

class TrimWhiteTest : public testing::TestWithParam<TextCase> {};

TEST_P(TrimWhiteTest, DropsClassTwoAtBothEnds) {
  EXPECT_EQ(Text(TrimWhite(GetParam().in)), Text(GetParam().want));
}

INSTANTIATE_TEST_SUITE_P(Cases, TrimWhiteTest,
                         testing::Values(TextCase{u"\tx y\u00A0\u3000", u"x y"},
                                         TextCase{u"   ", u""}, TextCase{u"", u""},
                                         TextCase{u"\u1680a\u2028", u"a"},
                                         TextCase{u"\u200Bx", u"\u200Bx"},  // ZWSP is no space
                                         TextCase{u"a \n b", u"a \n b"}));

struct DecodeCase {
  const char16_t* in;
  const char16_t* selection;
  const char16_t* want;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
  *os << '"' << Show(c.in) << "\" selecting \"" << Show(c.selection) << '"';
}

class DecodeEntitiesTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeEntitiesTest, ReplacesSelectedReferences) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(DecodeEntities(c.in, c.selection), Text(c.want));
}

constexpr const char16_t* kAll = u" <>'\"&";

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeEntitiesTest,
    testing::Values(DecodeCase{u"&amp;lt;", kAll, u"&lt;"}, DecodeCase{u"&LT;", kAll, u"&LT;"},
                    DecodeCase{u"a&nbsp;b", kAll, u"a b"}, DecodeCase{u"&#60;", kAll, u"&#60;"},
                    DecodeCase{u"&lt;&amp;", u"<", u"<&amp;"},
                    DecodeCase{u"&quot;Hi&quot; &apos;x&apos;", kAll, u"\"Hi\" 'x'"},
                    DecodeCase{u"&lt;&gt;", u">", u"&lt;>"},
                    DecodeCase{u"&amp;amp;", kAll, u"&amp;"},  // one pass per reference
                    DecodeCase{u"&&lt;;", kAll, u"&<;"},
                    DecodeCase{u"&lt", kAll, u"&lt"},            // no semicolon: no reference
                    DecodeCase{u"&amp;nbsp;", kAll, u"&nbsp;"},  // decoded only once
                    DecodeCase{u"no refs", kAll, u"no refs"}, DecodeCase{u"&amp;", u"", u"&amp;"}));

}  // namespace
}  // namespace drumlo
