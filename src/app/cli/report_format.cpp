#include "app/cli/report_format.h"

#include <array>
#include <cstdio>

#include "generator/song_rules.h"

namespace drumlo {
namespace {

struct KindInfo {
  FindingKind kind;
  TextView key;    // JSON name
  TextView label;  // text form
};

constexpr std::array<KindInfo, 7> kKinds = {{
    {FindingKind::kIndexOutOfRange, u"index_out_of_range",
     u"row abandoned: INDEX 0 or out of range"},
    {FindingKind::kXmlRejected, u"xml_rejected", u"row abandoned: XML name rejected"},
    {FindingKind::kPakRejected, u"pak_rejected", u"row abandoned: PAK name rejected"},
    {FindingKind::kNoIndex, u"no_index", u"row skipped: no INDEX"},
    {FindingKind::kOutsideColumns, u"outside_columns", u"cell passed over: outside the 21 columns"},
    {FindingKind::kValueDoesNotFit, u"value_does_not_fit", u"cell passed over: value does not fit"},
    {FindingKind::kQuoteInValue, u"quote_in_value", u"value holds a double quote"},
}};

const KindInfo& InfoOf(FindingKind kind) {
  for (const KindInfo& info : kKinds) {
    if (info.kind == kind) return info;
  }
  return kKinds[0];
}

std::int32_t CountOf(const RunReport& report, FindingKind kind) {
  std::int32_t n = 0;
  for (const Finding& f : report.findings)
    n += f.kind == kind ? 1 : 0;
  return n;
}

std::int32_t ReplacedCount(const RunReport& report) {
  std::int32_t n = 0;
  for (const ListFileRecord& f : report.files)
    n += f.replaced_later ? 1 : 0;
  return n;
}

Text Num(std::int64_t n) {
  return DecimalText(n);
}

Text FormatText(const RunReport& report, bool dry_run) {
  Text out;
  if (dry_run) out += u"dry run: no list file was written\n";
  out += u"rows read: " + Num(report.rows_read) + u"\n";
  out += u"rows accepted: " + Num(report.rows_accepted) + u"\n";
  for (const KindInfo& info : kKinds) {
    out += Text(info.label) + u": " + Num(CountOf(report, info.kind)) + u"\n";
  }
  out += (dry_run ? u"list files that would be written: " : u"list files written: ") +
         Num(static_cast<std::int64_t>(report.files.size())) + u"\n";
  for (const ListFileRecord& f : report.files) {
    out += u"  " + f.path + u": " + Num(f.entries) + u" entries";
    if (f.result != 0) out += u", not written (error code " + Num(f.result) + u")";
    if (f.replaced_later) out += u", replaced by a later group of this run";
    out += u"\n";
  }
  out += u"list files replaced by a later group: " + Num(ReplacedCount(report)) + u"\n";
  for (const Finding& f : report.findings) {
    out += u"row " + Num(f.row);
    if (f.column != 0) out += u", column " + Num(f.column);
    out += u": " + Text(InfoOf(f.kind).label) + u"\n";
  }
  return out;
}

Text JsonString(TextView text) {
  Text out = u"\"";
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') {
      out += u'\\';
      out += c;
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      for (const char* p = buf; *p != 0; ++p)
        out += static_cast<char16_t>(*p);
    } else {
      out += c;
    }
  }
  out += u'"';
  return out;
}

Text JsonBool(bool b) {
  return b ? u"true" : u"false";
}

Text FormatJson(const RunReport& report, bool dry_run) {
  Text out = u"{\"dry_run\":" + JsonBool(dry_run);
  out += u",\"rows_read\":" + Num(report.rows_read);
  out += u",\"rows_accepted\":" + Num(report.rows_accepted);
  out += u",\"counts\":{";
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    if (k != 0) out += u',';
    out += JsonString(kKinds[k].key) + u":" + Num(CountOf(report, kKinds[k].kind));
  }
  out += u"},\"replaced_files\":" + Num(ReplacedCount(report));
  out += u",\"files\":[";
  for (std::size_t k = 0; k < report.files.size(); ++k) {
    const ListFileRecord& f = report.files[k];
    if (k != 0) out += u',';
    out += u"{\"path\":" + JsonString(f.path) + u",\"first_index\":" + Num(f.first_index) +
           u",\"entries\":" + Num(f.entries) + u",\"result\":" + Num(f.result) +
           u",\"replaced_later\":" + JsonBool(f.replaced_later) + u"}";
  }
  out += u"],\"findings\":[";
  for (std::size_t k = 0; k < report.findings.size(); ++k) {
    const Finding& f = report.findings[k];
    if (k != 0) out += u',';
    out += u"{\"kind\":" + JsonString(InfoOf(f.kind).key) + u",\"row\":" + Num(f.row) +
           u",\"column\":" + Num(f.column) + u"}";
  }
  out += u"]}\n";
  return out;
}

}  // namespace

Text FormatReport(const RunReport& report, ReportFormat format, bool dry_run) {
  switch (format) {
    case ReportFormat::kText:
      return FormatText(report, dry_run);
    case ReportFormat::kJson:
      return FormatJson(report, dry_run);
    case ReportFormat::kNone:
      break;
  }
  return Text();
}

}  // namespace drumlo
