// The common open and save dialogs of the window program.
#pragma once

#include <windows.h>

#include <optional>

#include "common/text.h"

namespace drumlo {

// The workbook the user picks, starting in the folder of `current` (the path field's workbook);
// nothing when the dialog is cancelled.
[[nodiscard]] std::optional<Text> ChooseWorkbook(HWND owner, TextView current);

// Where to save the report: 生成报告.txt in the workbook's folder is offered; nothing when the
// dialog is cancelled.
[[nodiscard]] std::optional<Text> ChooseReportPath(HWND owner, TextView workbook);

}  // namespace drumlo
