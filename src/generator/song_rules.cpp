#include "generator/song_rules.h"

#include "generator/numeric_value.h"
#include "xmlscan/scan_primitives.h"

namespace drumlo {

namespace {

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Units that make up the value's first character: a surrogate pair is kept whole so that
// "_song" never splits it.
std::size_t FirstCharLength(TextView value) {
  if (value.size() >= 2 && IsHighSurrogate(value[0]) && IsLowSurrogate(value[1])) return 2;
  return value.empty() ? 0 : 1;
}

// Writes the rewrite of `value` into `dest`, reusing its storage; false (dest untouched) when
// the value is rejected.
bool RewriteNameInto(TextView value, Text& dest) {
  if (value.starts_with(u"nms")) {
    dest.assign(u"new_mission_").append(value.substr(3));
  } else if (value.starts_with(u"ms")) {
    dest.assign(u"mission").append(value.substr(2));
  } else if (value.starts_with(u'm')) {
    return false;
  } else {
    const std::size_t head = FirstCharLength(value);
    dest.assign(value.substr(0, head)).append(u"_song").append(value.substr(head));
  }
  return true;
}

void AppendDecimal(Text& out, std::int64_t value) {
  char16_t digits[20];  // 19 digits of the largest magnitude, plus the sign
  std::size_t at = sizeof(digits) / sizeof(digits[0]);
  // Work with the negative magnitude, which holds INT64_MIN as well.
  std::int64_t rest = value < 0 ? value : -value;
  do {
    digits[--at] = static_cast<char16_t>(u'0' - rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0) digits[--at] = u'-';
  out.append(digits + at, sizeof(digits) / sizeof(digits[0]) - at);
}

void AppendAttribute(Text& out, TextView prefix, TextView value) {
  out.append(u"\t").append(prefix).append(value).append(u"\"\r\n");
}

void AppendNumberAttribute(Text& out, TextView prefix, std::int64_t value) {
  out.append(u"\t").append(prefix);
  AppendDecimal(out, value);
  out.append(u"\"\r\n");
}

RuleOutcome ApplyIndex(TextView value, std::int32_t id_from, std::int32_t id_to,
                       RunSongValues& run) {
  const std::optional<std::int32_t> index = RoundToInt32(NumericValue(value));
  if (!index) return RuleOutcome::kIndexDoesNotFit;
  run.SongIndex = *index;
  if (*index == 0) return RuleOutcome::kIndexZero;
  if (*index < id_from || *index > id_to) return RuleOutcome::kIndexOutOfRange;
  return RuleOutcome::kApplied;
}

RuleOutcome Applied(TextView value) {
  return LeadingNumber(value) ? RuleOutcome::kApplied : RuleOutcome::kAppliedNoNumber;
}

RuleOutcome ApplyImage(TextView value, RunSongValues& run) {
  const std::optional<std::int32_t> image = RoundToInt32(NumericValue(value));
  if (!image) return RuleOutcome::kImageDoesNotFit;
  run.ImageNo = *image;
  return Applied(value);
}

RuleOutcome ApplyLevel(TextView value, WindowSongValues& window) {
  const std::optional<std::uint8_t> level = RoundToByte(2 * NumericValue(value));
  if (!level) return RuleOutcome::kLevelDoesNotFit;
  window.SongLevel = *level;
  return Applied(value);
}

RuleOutcome ApplyName(TextView value, Text& dest, RuleOutcome rejected) {
  return RewriteNameInto(value, dest) ? RuleOutcome::kApplied : rejected;
}

RuleOutcome ApplyDisplayText(TextView value, Text& dest) {
  // Without "&" there is nothing to decode or double; the old storage is reused.
  if (value.find(u'&') == TextView::npos) {
    dest.assign(value);
  } else {
    dest = XmlToTxt(value);
  }
  return RuleOutcome::kApplied;
}

}  // namespace

Column ColumnFromName(TextView upper_name) {
  if (upper_name == u"INDEX") return Column::kIndex;
  if (upper_name == u"XML") return Column::kXml;
  if (upper_name == u"PAK") return Column::kPak;
  if (upper_name == u"IMAGE") return Column::kImage;
  if (upper_name == u"LV") return Column::kLv;
  if (upper_name == u"NAME") return Column::kName;
  if (upper_name == u"ARTIST") return Column::kArtist;
  if (upper_name == u"GENRE") return Column::kGenre;
  return Column::kNone;
}

RuleOutcome ApplyColumnRule(Column column, TextView value, std::int32_t id_from, std::int32_t id_to,
                            RunSongValues& run, WindowSongValues& window) {
  switch (column) {
    case Column::kIndex:
      return ApplyIndex(value, id_from, id_to, run);
    case Column::kXml:
      return ApplyName(value, run.XmlName, RuleOutcome::kXmlRejected);
    case Column::kPak:
      return ApplyName(value, run.PakName, RuleOutcome::kPakRejected);
    case Column::kImage:
      return ApplyImage(value, run);
    case Column::kLv:
      return ApplyLevel(value, window);
    case Column::kName:
      return ApplyDisplayText(value, window.SongName);
    case Column::kArtist:
      return ApplyDisplayText(value, window.SongArtist);
    case Column::kGenre:
      return ApplyDisplayText(value, window.SongGenre);
    case Column::kNone:
      break;
  }
  return RuleOutcome::kIgnored;
}

std::optional<Text> RewriteName(TextView value) {
  Text result;
  if (!RewriteNameInto(value, result)) return std::nullopt;
  return result;
}

void ApplyPathRule(const RunSongValues& run, WindowSongValues& window) {
  window.SongImage.assign(run.PakName).append(u"/music_");
  AppendDecimal(window.SongImage, run.ImageNo);
  window.SongImage.append(u".bmp");
  window.SongFile.assign(run.PakName).append(u"/").append(run.XmlName).append(u".xml");
}

void AppendEntry(Text& out, const RunSongValues& run, const WindowSongValues& window) {
  out.append(u"<Music\r\n");
  AppendNumberAttribute(out, u"Index=\"", run.SongIndex);
  AppendAttribute(out, u"Name=\"", window.SongName);
  AppendAttribute(out, u"Image=\"", window.SongImage);
  AppendAttribute(out, u"File=\"", window.SongFile);
  AppendNumberAttribute(out, u"Level=\"", window.SongLevel);
  AppendAttribute(out, u"Genre=\"", window.SongGenre);
  AppendAttribute(out, u"Artist=\"", window.SongArtist);
  out.append(u"/>\r\n");
}

Text DecimalText(std::int64_t value) {
  Text result;
  AppendDecimal(result, value);
  return result;
}

Text XmlToTxt(TextView str_from) {
  // Space, less-than, greater-than, apostrophe, quotation mark, ampersand.
  static constexpr TextView kDisplayEntities = u" <>'\"&";
  const Text decoded = DecodeEntities(str_from, kDisplayEntities);
  if (decoded.find(u'&') == Text::npos) return decoded;
  Text result;
  result.reserve(decoded.size() + 8);
  for (const char16_t unit : decoded) {
    result.push_back(unit);
    if (unit == u'&') result.push_back(u'&');
  }
  return result;
}

}  // namespace drumlo
