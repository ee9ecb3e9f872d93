// The xlsx reader on well-formed archives with arbitrary parts: the input is the rows of a first
// sheet, the shared string items and the rows of a second sheet, split at NUL bytes, packed by
// the zip writer so that the fuzzer reaches the XML parsing past the archive's checksums.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "workbook/xlsx_reader.h"
#include "xlsx_builder.h"

namespace {

std::vector<std::string> SplitAtNul(std::span<const std::uint8_t> bytes, std::size_t parts) {
  std::vector<std::string> out(parts);
  std::size_t part = 0;
  for (const std::uint8_t byte : bytes) {
    if (byte == 0 && part + 1 < parts) {
      ++part;
    } else {
      out[part] += static_cast<char>(byte);
    }
  }
  return out;
}

// A value holds no markup or line break of its own: every "&" begins one of the five escapes.
bool EscapedAsTheXmlFormHoldsIt(drumlo::TextView value) {
  static constexpr drumlo::TextView kEscapes[] = {u"&amp;", u"&lt;", u"&gt;", u"&#10;", u"&#13;"};
  for (std::size_t k = 0; k < value.size(); ++k) {
    const char16_t unit = value[k];
    if (unit == u'<' || unit == u'>' || unit == u'\n' || unit == u'\r') return false;
    if (unit != u'&') continue;
    bool known = false;
    for (const drumlo::TextView escape : kEscapes)
      known = known || value.substr(k).starts_with(escape);
    if (!known) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using drumlo::fuzz::Check;
  const std::vector<std::string> parts = SplitAtNul(std::span(data, size), 3);
  const std::string archive = drumlo::XlsxBuilder()
                                  .Sheet("One", parts[0])
                                  .SharedStrings(parts[1].empty() ? "<si/>" : parts[1])
                                  .Sheet("Two", parts[2])
                                  .Build(size % 2 == 1);
  drumlo::XlsxReader reader(
      std::span(reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size()));
  Check(reader.Open() == drumlo::XlsxStatus::kOk || reader.Status() == drumlo::XlsxStatus::kMalformedPart);
  drumlo::SheetRow row;
  while (reader.NextRow(row)) {
    Check(row.number >= 1 && row.sheet < 2);
    for (const drumlo::SheetCell& cell : row.cells)
      Check(cell.column >= 1 && EscapedAsTheXmlFormHoldsIt(cell.value));
  }
  const drumlo::XlsxStatus status = reader.Status();
  Check(status == drumlo::XlsxStatus::kOk || status == drumlo::XlsxStatus::kMalformedPart);
  return 0;
}
