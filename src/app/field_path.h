// The workbook path that the window's path field names, as users paste it: a file manager's
// "copy as path" gives it in double quotes, and a copied line often brings blanks along.
#pragma once

#include "common/text.h"
#include "fileio/file_access.h"

namespace drumlo {

// `typed` without one pair of surrounding double quotes and without trailing blanks (no file
// name holds a double quote, and Windows drops trailing blanks). Leading blanks can begin a
// file name, so they go only when `typed` as it stands names no existing file.
[[nodiscard]] Text WorkbookPathOf(TextView typed, FileAccess& files);

}  // namespace drumlo
