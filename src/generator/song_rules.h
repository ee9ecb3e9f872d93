// What one cell does to the song values, the two paths of a song, and the text of one entry.
#pragma once

#include <cstdint>
#include <optional>

#include "common/text.h"

namespace drumlo {

// Values that live for one run.
struct RunSongValues {
  std::int32_t SongIndex = 0;
  Text XmlName;
  Text PakName;
  std::int32_t ImageNo = 0;
};

// Values owned by the window (or the command-line tool) and lent to each run; they keep what
// the last run left in them.
struct WindowSongValues {
  Text SongName;
  Text SongImage;
  Text SongFile;
  std::uint8_t SongLevel = 0;
  Text SongGenre;
  Text SongArtist;
};

enum class Column { kNone, kIndex, kXml, kPak, kImage, kLv, kName, kArtist, kGenre };

// The column an upper-cased header name stands for (exact comparison); kNone for any other.
[[nodiscard]] Column ColumnFromName(TextView upper_name);

enum class RuleOutcome {
  kApplied,          // the value was stored; the row goes on
  kAppliedNoNumber,  // IMAGE or LV value without a number: 0 stored; the row goes on
  kIgnored,          // a column without a rule; nothing changed
  kIndexZero,        // INDEX 0 (SongIndex keeps it): abandon
  kIndexOutOfRange,  // INDEX outside the range (SongIndex keeps the new value): abandon
  kIndexDoesNotFit,  // INDEX outside 32 bits (SongIndex unchanged): abandon
  kImageDoesNotFit,  // IMAGE outside 32 bits (ImageNo unchanged): abandon
  kLevelDoesNotFit,  // LV doubled outside 0..255 (SongLevel unchanged): abandon
  kXmlRejected,      // XML value begins with "m" but not "ms"/"nms": abandon
  kPakRejected,      // PAK value likewise: abandon
};

// A value that does not fit abandons its row: passing it over would leave the previous song's
// value in this song's entry.
[[nodiscard]] inline bool AbandonsRow(RuleOutcome o) {
  return o != RuleOutcome::kApplied && o != RuleOutcome::kAppliedNoNumber &&
         o != RuleOutcome::kIgnored;
}

// Applies the rule of `column` to a cell value (tags already stripped, entities not decoded).
RuleOutcome ApplyColumnRule(Column column, TextView value, std::int32_t id_from, std::int32_t id_to,
                            RunSongValues& run, WindowSongValues& window);

// "nms.." -> "new_mission_..", "ms.." -> "mission..", "m.." -> rejected (nullopt), anything
// else gets "_song" after its first character (a leading surrogate pair counts as one).
[[nodiscard]] std::optional<Text> RewriteName(TextView value);

// SongImage = Pak/music_<ImageNo>.bmp, SongFile = Pak/<Xml>.xml.
void ApplyPathRule(const RunSongValues& run, WindowSongValues& window);

// Appends the nine-line <Music entry (CR LF line ends) of the current values.
void AppendEntry(Text& out, const RunSongValues& run, const WindowSongValues& window);

// Decimal form with a minus sign when negative.
[[nodiscard]] Text DecimalText(std::int64_t value);

// Display text of a workbook value: the six entities decoded, then every "&" doubled.
[[nodiscard]] Text XmlToTxt(TextView str_from);

}  // namespace drumlo
