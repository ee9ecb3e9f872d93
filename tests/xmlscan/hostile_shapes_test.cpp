// The input shapes that once made the scanner slow, at sizes the literal reference can follow:
// every answer of the calls a run makes (rows from a forward cursor, each row's cells, each
// cell's ss:Index and value) must be the reference's, with scanners held per text as a run
// holds them, in each way of searching nested elements.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostile_shapes.h"
#include "reference_scanner.h"
#include "show_text.h"
#include "xmlscan/element_access.h"

namespace drumlo {
namespace {

Text Number(Position position) {
  const std::string digits = std::to_string(position);
  return Text(digits.begin(), digits.end());
}

// The calls of a run in order, each answer followed by the cursor it left.
template <class Scanner, class Make>
std::vector<Text> RunAnswers(TextView doc, const Make& make) {
  std::vector<Text> answers;
  Scanner rows = make(doc);
  Position row_cursor = 0;
  for (;;) {
    const TextView row = rows.GetContentFrom(u"Row", row_cursor, 1);
    answers.emplace_back(Text(row) + u"@" + Number(row_cursor));
    if (row == kNotFound) return answers;
    Scanner cells = make(row);
    Position cell_cursor = 0;
    for (;;) {
      const TextView cell = cells.GetElementFrom(u"Cell", cell_cursor, 1);
      answers.emplace_back(Text(cell) + u"@" + Number(cell_cursor));
      if (cell == kNotFound) break;
      Scanner parts = make(cell);
      answers.emplace_back(parts.GetAttribute(u"Cell", 1, u"ss:Index"));
      answers.emplace_back(parts.GetContent(u"Data", 1));
      answers.emplace_back(parts.GetContent(u"ss:Data", 1));
    }
  }
}

// The reference accessors behind the interface of a scanner held for one text.
class ReferenceScanner {
 public:
  explicit ReferenceScanner(TextView text) : text_(text) {}
  TextView GetContentFrom(TextView name, Position& cursor, std::int32_t n) {
    return reference::GetContentFrom(text_, name, cursor, n);
  }
  TextView GetElementFrom(TextView name, Position& cursor, std::int32_t n) {
    return reference::GetElementFrom(text_, name, cursor, n);
  }
  TextView GetContent(TextView name, std::int32_t n) {
    return reference::GetContent(text_, name, n);
  }
  TextView GetAttribute(TextView name, std::int32_t n, TextView attribute) {
    return reference::GetAttribute(text_, name, n, attribute);
  }

 private:
  TextView text_;
};

class HostileShapeTest : public testing::TestWithParam<ScanMode> {};

TEST_P(HostileShapeTest, AnswersAsTheReferenceDoes) {
  for (const shapes::Shape& shape : shapes::AllShapes()) {
    for (const std::size_t n : {1, 2, 5, 11}) {
      SCOPED_TRACE(std::string(shape.name) + ", n " + std::to_string(n));
      const std::string book = shape.build(n);
      const Text doc(book.begin(), book.end());
      const auto want =
          RunAnswers<ReferenceScanner>(doc, [](TextView t) { return ReferenceScanner(t); });
      const auto got = RunAnswers<DocumentScanner>(
          doc, [&](TextView t) { return DocumentScanner(t, GetParam()); });
      ASSERT_EQ(got, want);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, HostileShapeTest,
                         testing::Values(ScanMode::kAuto, ScanMode::kLiteral, ScanMode::kMemo));

}  // namespace
}  // namespace drumlo
