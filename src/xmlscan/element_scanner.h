// The engine behind the element finders. It follows the nested-element search exactly, but
// walks nesting with an explicit stack (no recursion depth limit) and, once a nested element
// has failed to close in time, remembers where each scan state leads, so that deep or broken
// nesting costs about linear time instead of exponential. Indices are 0-based.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "common/text.h"
#include "xmlscan/scan_primitives.h"
#include "xmlscan/unit_search.h"

namespace drumlo {

// Where an element or processing instruction lies; tag_start == kNoUnit means not found.
struct Span {
  std::size_t tag_start = kNoUnit;
  std::size_t content_start = 0;
  std::size_t content_end = 0;
  std::size_t outer_end = 0;       // one past the element's last ">"
  std::size_t name_end = kNoUnit;  // set by the finders only
  std::size_t attr_end = kNoUnit;
  [[nodiscard]] bool Found() const { return tag_start != kNoUnit; }
};

// True for the units that end a name in a start tag: white space, ">" and "/".
[[nodiscard]] inline bool EndsName(char16_t unit) {
  return unit == u'>' || unit == u'/' || IsWhite(unit);
}

// The first occurrence of `prefix` at or after `from` that is followed by a unit ending the
// name ("Row" must not match "RowSet"); kNoUnit when there is none.
[[nodiscard]] std::size_t FindNamedTag(TextView text, std::size_t from, JoinedText prefix,
                                       bool (*ends_name)(char16_t));

// One scanner serves one text; what it remembers stays valid for further searches in it.
class ElementScanner {
 public:
  explicit ElementScanner(TextView text);
  ElementScanner(const ElementScanner&) = delete;
  ElementScanner& operator=(const ElementScanner&) = delete;
  ~ElementScanner();

  // The next element at or after `from` whose start tag begins with `start_prefix` followed
  // by white space, ">" or "/"; its end tag begins with `end_prefix`.
  [[nodiscard]] Span FindElement(JoinedText start_prefix, JoinedText end_prefix, std::size_t from);
  // The next processing instruction at or after `from` opening with `start_prefix`.
  [[nodiscard]] Span FindInstruction(JoinedText start_prefix, std::size_t from);
  // The element or instruction at the first tag-opening "<" at or after `start`; an element
  // counts only when its end tag begins before `bound`.
  [[nodiscard]] Span ExtentAt(std::size_t start, std::size_t bound);

 private:
  // How the scan of one element's content ends, seen from one state (end prefix, next "<").
  enum class Fate : std::uint8_t { kClosed, kBroken, kBeyond };
  struct StateFate {
    Fate fate = Fate::kBroken;
    std::size_t first = 0;   // kClosed: content end; kBeyond: the "<" of a later state
    std::size_t second = 0;  // kClosed: outer end; kBeyond: that state's candidate end tag
  };

  enum class TagKind : std::uint8_t { kBroken, kSelfClosing, kOpen };
  struct TagShape {
    TagKind kind = TagKind::kBroken;
    std::size_t content_start = 0;
    std::size_t content_end = 0;   // kSelfClosing only
    std::uint32_t end_prefix = 0;  // kOpen only
  };

  struct EndPrefix {
    JoinedText text;
    bool starts_with_lt = true;
    // No occurrence begins in [known_from, known_next); one begins at known_next (or none).
    std::size_t known_from = kNoUnit;
    std::size_t known_next = kNoUnit;
  };

  // An element whose content is being scanned for its end tag.
  struct Frame {
    std::size_t tag_start;
    std::size_t content_start;
    std::size_t bound;    // its end tag must begin before this
    std::size_t from;     // where the next "<" is looked for
    std::size_t end_tag;  // candidate end tag, reused while it lies at or after from
    std::size_t child_at;
    std::size_t visited_begin;
    std::uint32_t end_prefix;
  };

  enum class Resolved : std::uint8_t { kDone, kPushed };

  enum class StepKind : std::uint8_t { kMoved, kChildDone, kFinished };
  struct Step {
    StepKind kind = StepKind::kMoved;
    Span child;                // kChildDone: the nested element's span
    std::size_t decisive = 0;  // kChildDone: the "<" its answer was decided at
    StateFate fate;            // kFinished: how the top frame ends
  };
  [[nodiscard]] static Step Moved() { return Step{StepKind::kMoved, Span{}, 0, StateFate{}}; }
  [[nodiscard]] static Step Finished(const StateFate& fate) {
    return Step{StepKind::kFinished, Span{}, 0, fate};
  }

  [[nodiscard]] Span RunFrames();
  [[nodiscard]] Step StepTopFrame();
  [[nodiscard]] Resolved Resolve(std::size_t at, std::size_t bound, Span& out,
                                 std::size_t& decisive);
  [[nodiscard]] TagShape ShapeOfTag(std::size_t at);
  [[nodiscard]] TagShape ReadTag(std::size_t at);
  [[nodiscard]] std::size_t TagEnd(std::size_t from);
  [[nodiscard]] std::size_t NextEndTag(std::uint32_t id, std::size_t from);
  [[nodiscard]] std::uint32_t InternEndPrefix(JoinedText prefix);
  void PushFrame(std::size_t tag_start, std::size_t content_start, std::size_t bound,
                 std::uint32_t end_prefix);
  // Ends the top frame with `fate`; returns its span (found or not).
  Span FinishFrame(const StateFate& fate);
  [[nodiscard]] static std::uint64_t StateKey(std::uint32_t end_prefix, std::size_t lt) {
    return (static_cast<std::uint64_t>(end_prefix) << 32) | static_cast<std::uint64_t>(lt);
  }

  // Buffers kept per thread between scanners, so that a short search allocates nothing.
  struct Scratch {
    std::vector<Frame> frames;
    std::vector<EndPrefix> end_prefixes;
    bool in_use = false;
  };
  static Scratch& ThreadScratch();

  TextView text_;
  Scratch local_scratch_;  // used only when the thread's buffers are taken
  Scratch& scratch_;
  std::vector<Frame>& frames_;
  std::vector<EndPrefix>& end_prefixes_;
  std::unordered_map<Text, std::uint32_t> end_prefix_ids_;  // only once there are many

  // Memory of earlier scans, kept only after a nested element failed to close in time.
  bool remember_ = false;
  std::vector<std::uint64_t> visited_;
  std::vector<std::size_t> checkpoints_;
  std::unordered_map<std::uint64_t, StateFate> state_fates_;
  std::unordered_map<std::size_t, TagShape> tag_shapes_;
  std::unordered_map<std::size_t, std::size_t> tag_ends_;
};

}  // namespace drumlo
