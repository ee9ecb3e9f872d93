// Element and attribute access by searching the document text: no tree, no validation, no
// namespaces. Names are matched exactly as written ("ss:Data" and "Data" differ).
// Positions are 1-based; every accessor answers kNotFound ("^ERROR") for anything missing.
#pragma once

#include <cstdint>
#include <memory>

#include "common/text.h"
#include "xmlscan/scan_mode.h"

namespace drumlo {

class ElementScanner;

inline constexpr TextView kNotFound = u"^ERROR";

// Where one element or processing instruction lies in a text. TagStart 0 means not found,
// and then the other fields carry no meaning.
struct ElementExtent {
  Position TagStart = 0;      // the "<" of the start tag
  Position OuterEnd = 0;      // just after the element's last ">"
  Position NameEnd = 0;       // just after the name: first position of the attribute region
  Position AttrEnd = 0;       // the ">" (or "/" of "/>", or "?" of "?>") ending the attributes
  Position ContentStart = 0;  // first position of the content
  Position ContentEnd = 0;    // the position just after the content
  [[nodiscard]] bool Found() const { return TagStart != 0; }
};

// Finders. A search begins at cursor + 1; on success the cursor moves to OuterEnd - 1, on
// failure it is left as it was.
ElementExtent FindElement(TextView text, TextView start_prefix, TextView end_prefix,
                          Position& cursor, ScanMode mode = ScanMode::kAuto);
ElementExtent FindInstruction(TextView text, TextView start_prefix, Position& cursor,
                              ScanMode mode = ScanMode::kAuto);
// The element or instruction opening at the first tag-opening "<" at or after `start`;
// not found when that "<" begins an end tag or the element's end tag begins after `limit`.
// Only TagStart, OuterEnd, ContentStart and ContentEnd are filled.
[[nodiscard]] ElementExtent ExtentAt(TextView text, Position start, Position limit,
                                     ScanMode mode = ScanMode::kAuto);

// Accessors. Results are views into `text` (or kNotFound); they stay valid while the text does.
[[nodiscard]] TextView GetContentFrom(TextView text, TextView name, Position& cursor,
                                      std::int32_t n);
[[nodiscard]] TextView GetElementFrom(TextView text, TextView name, Position& cursor,
                                      std::int32_t n);
[[nodiscard]] TextView GetContent(TextView text, TextView name, std::int32_t n);
[[nodiscard]] TextView GetAttribute(TextView text, TextView name, std::int32_t n,
                                    TextView attribute);

// The four accessors over one text, for a caller that asks many questions of the same text: a
// document's rows, a row's cells, a cell's value and attribute. What one search learns about
// the text serves the next (where no "?>" follows, where the end tags of deeply or brokenly
// nested elements lie), so that a walk through the text with a forward cursor costs about one
// pass, where the free functions below search again from nothing on every call. The results
// are exactly those of the free functions. One object serves one thread at a time.
class DocumentScanner {
 public:
  explicit DocumentScanner(TextView text, ScanMode mode = ScanMode::kAuto);
  DocumentScanner(const DocumentScanner&) = delete;
  DocumentScanner& operator=(const DocumentScanner&) = delete;
  ~DocumentScanner();

  [[nodiscard]] TextView text() const { return text_; }

  [[nodiscard]] TextView GetContentFrom(TextView name, Position& cursor, std::int32_t n);
  [[nodiscard]] TextView GetElementFrom(TextView name, Position& cursor, std::int32_t n);
  // The same, with the attribute region of the element's start tag in `attributes`.
  [[nodiscard]] TextView GetElementFrom(TextView name, Position& cursor, std::int32_t n,
                                        TextView& attributes);
  [[nodiscard]] TextView GetContent(TextView name, std::int32_t n);
  [[nodiscard]] TextView GetAttribute(TextView name, std::int32_t n, TextView attribute);

 private:
  TextView text_;
  std::unique_ptr<ElementScanner> scanner_;
};

// Frees the buffers a thread lends to its searches (they are made again when needed). A thread
// that has used the accessors calls it before it ends.
void ReleaseScannerBuffers();

// The trimmed value of `attribute` in an attribute region (what stands between a start tag's
// name and its ">"), found as GetAttribute finds it; kNotFound when missing.
[[nodiscard]] TextView AttributeValueIn(TextView region, TextView attribute);

}  // namespace drumlo
