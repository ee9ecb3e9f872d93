// The scanner's accessors and primitives on arbitrary texts and names.
// Input: a flags byte (bit 0: text as raw UTF-16 units; bits 1-2: count n - 1), the lengths of
// the element name and of the attribute name, both names (UTF-8), then the text.
#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "xmlscan/element_access.h"
#include "xmlscan/element_walk.h"
#include "xmlscan/scan_primitives.h"

namespace drumlo::fuzz {
namespace {

bool Inside(TextView part, TextView text) {
  return part.data() >= text.data() && part.data() + part.size() <= text.data() + text.size();
}

// "^ERROR" that is not a piece of the text itself (literals need not share one address).
bool IsNotFound(TextView answer, TextView text) {
  return answer == kNotFound && !Inside(answer, text);
}

// An answer is "^ERROR" or a view into the text it was taken from.
void CheckAnswer(TextView answer, TextView text) {
  if (IsNotFound(answer, text)) return;
  Check(answer.empty() || Inside(answer, text));
}

// The cursor never moves back; a found element moves it forward, and a failed search for the
// first element leaves it alone (with n > 1 it keeps the advance over the earlier ones).
void CheckCursor(Position before, Position after, TextView answer, TextView name, std::int32_t n,
                 TextView text) {
  Check(after >= before && after <= static_cast<Position>(text.size()));
  if (IsNotFound(answer, text)) {
    if (n == 1) Check(after == before);
  } else if (name.front() != u'?') {
    Check(after > before);
  }
}

// Walks every element of the name, as the run walks rows; the cursor must move forward.
void WalkAll(TextView text, TextView name, std::int32_t n, bool content) {
  Position cursor = 0;
  for (;;) {
    const Position before = cursor;
    const TextView answer =
        content ? GetContentFrom(text, name, cursor, n) : GetElementFrom(text, name, cursor, n);
    CheckAnswer(answer, text);
    CheckCursor(before, cursor, answer, name, n, text);
    if (cursor == before) break;
  }
}

// Wherever the one-pass walk succeeds, each element it reports is what FindElement finds with a
// cursor on its "<"; and the walk of the text's first half agrees with it. A few starting
// points per input keep units fast.
void CheckWalk(TextView text) {
  ElementWalk walk;
  ElementWalk half_walk;
  int starts = 0;
  for (std::size_t at = text.find(u'<'); at != TextView::npos && starts < 8;
       at = text.find(u'<', at + 1), ++starts) {
    const WalkResult whole = walk.Walk(text, at);
    const WalkResult half = half_walk.Walk(text.substr(0, at + (text.size() - at) / 2), at);
    constexpr WalkResult kWalked = WalkResult::kWalked;
    Check(half != kWalked ||
          (whole == kWalked && half_walk.Elements().size() == walk.Elements().size()));
    Check(half != WalkResult::kCannotVouch || whole == WalkResult::kCannotVouch);
    if (whole != kWalked) continue;
    for (const Extent& e : walk.Elements()) {
      const Text name(e.Name(text));
      Position cursor = static_cast<Position>(e.tag_start);
      const ElementExtent x = FindElement(text, u"<" + name, u"</" + name, cursor);
      Check(x.TagStart == static_cast<Position>(e.tag_start + 1) &&
            x.NameEnd == static_cast<Position>(e.name_end + 1) &&
            x.AttrEnd == static_cast<Position>(e.attr_end + 1) &&
            x.ContentStart == static_cast<Position>(e.content_start + 1) &&
            x.ContentEnd == static_cast<Position>(e.content_end + 1) &&
            x.OuterEnd == static_cast<Position>(e.outer_end + 1));
    }
  }
}

// The literal search (which the scanner tries first) and the memo must answer alike, with
// each holding what it learns over a run's calls on the same text.
void CheckMemoAgrees(TextView text, TextView name, TextView attribute, std::int32_t n) {
  DocumentScanner first(text);
  DocumentScanner memo(text, ScanMode::kMemo);
  Position first_cursor = 0;
  Position memo_cursor = 0;
  for (int step = 0; step < 16; ++step) {
    const TextView answer = first.GetElementFrom(name, first_cursor, n);
    Check(memo.GetElementFrom(name, memo_cursor, n) == answer && memo_cursor == first_cursor);
    if (answer == kNotFound) break;
    DocumentScanner part(answer);
    DocumentScanner memo_part(answer, ScanMode::kMemo);
    Check(part.GetAttribute(name, 1, attribute) == memo_part.GetAttribute(name, 1, attribute));
    Check(part.GetContent(name, 1) == memo_part.GetContent(name, 1));
  }
}

void CheckPrimitives(TextView text, char16_t target) {
  for (Position start : {Position{1}, static_cast<Position>(text.size() / 2 + 1)}) {
    const Position at = FindUnquoted(start, text, target);
    Check(at == 0 || (at >= start && at <= static_cast<Position>(text.size()) &&
                      text[static_cast<std::size_t>(at - 1)] == target));
  }
  Check(StripTags(text).size() <= text.size());
  const TextView trimmed = TrimWhite(text);
  Check(trimmed.size() <= text.size());
  Check(DecodeEntities(text, u" <>'\"&").size() <= text.size());
}

}  // namespace
}  // namespace drumlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace drumlo;
  using namespace drumlo::fuzz;
  InputReader in(data, size);
  const std::uint8_t flags = in.Byte();
  const std::size_t name_length = in.Byte() % 16;
  const std::size_t attribute_length = in.Byte() % 16;
  const Text name = DecodeUtf8(in.Take(name_length));
  const Text attribute = DecodeUtf8(in.Take(attribute_length));
  const Text text = TextOf(in.Rest(), (flags & 1) != 0);
  const std::int32_t n = ((flags >> 1) & 3) + 1;

  WalkAll(text, name, n, true);
  WalkAll(text, name, n, false);
  CheckAnswer(GetContent(text, name, n), text);
  CheckAnswer(GetAttribute(text, name, n, attribute), text);
  CheckPrimitives(text, name.empty() ? u'>' : name.front());
  CheckWalk(text);
  CheckMemoAgrees(text, name, attribute, n);
  return 0;
}
