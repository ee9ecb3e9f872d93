// Text and JSON forms of what a run found.
#pragma once

#include "common/text.h"
#include "generator/run_report.h"

namespace drumlo {

enum class ReportFormat { kNone, kText, kJson };

[[nodiscard]] Text FormatReport(const RunReport& report, ReportFormat format, bool dry_run);

}  // namespace drumlo
