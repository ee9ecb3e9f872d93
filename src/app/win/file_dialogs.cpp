// The dialogs never change the current directory: the default workbook path is a bare file
// name that names a file there.
#include "file_dialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <span>
#include <vector>

#include "app/words.h"
#include "window_kit.h"

namespace drumlo {
namespace {

// Long paths are allowed, so the buffer takes the longest path Windows knows.
constexpr std::size_t kPathBuffer = 32768;

// "name\0pattern\0...\0": the list form the dialogs read.
Text FilterList(std::span<const FileFilter> filters) {
  Text list;
  for (const FileFilter& filter : filters) {
    list.append(filter.name).push_back(u'\0');
    list.append(filter.pattern).push_back(u'\0');
  }
  return list;
}

// The folder of `path` made absolute against the current directory, with a separator at its
// end; empty when `path` is empty or cannot be resolved.
Text FolderOf(TextView path) {
  if (path.empty()) return Text();
  const Text given(path);
  std::vector<wchar_t> full(kPathBuffer);
  wchar_t* name = nullptr;
  const DWORD length =
      GetFullPathNameW(Wide(given), static_cast<DWORD>(full.size()), full.data(), &name);
  if (length == 0 || length >= full.size()) return Text();
  const std::size_t folder_length = name != nullptr ? static_cast<std::size_t>(name - full.data())
                                                    : static_cast<std::size_t>(length);
  return Text(reinterpret_cast<const char16_t*>(full.data()), folder_length);
}

// The dialog's settings and the buffers they point into; not to be copied.
struct Dialog {
  OPENFILENAMEW ofn = {};
  std::vector<wchar_t> file = std::vector<wchar_t>(kPathBuffer, L'\0');
  Text filters;
  Text folder;

  Dialog(HWND owner, std::span<const FileFilter> filter_list, DWORD flags)
      : filters(FilterList(filter_list)) {
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = Wide(filters);
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.Flags = flags | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                OFN_DONTADDTORECENT;
  }
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  void StartIn(Text start_folder) {
    folder = std::move(start_folder);
    ofn.lpstrInitialDir = folder.empty() ? nullptr : Wide(folder);
  }

  // The file box's first text; a path in it also chooses the folder the dialog starts in.
  void OfferFile(TextView path) {
    if (path.size() >= file.size()) return;
    std::copy(path.begin(), path.end(), file.begin());
  }

  Text Chosen() const {
    return Text(reinterpret_cast<const char16_t*>(file.data()));
  }
};

}  // namespace

std::optional<Text> ChooseWorkbook(HWND owner, TextView current) {
  Dialog dialog(owner, kWorkbookFilters, OFN_FILEMUSTEXIST);
  dialog.StartIn(FolderOf(current));
  if (!GetOpenFileNameW(&dialog.ofn)) return std::nullopt;
  return dialog.Chosen();
}

std::optional<Text> ChooseReportPath(HWND owner, TextView workbook) {
  Dialog dialog(owner, kReportFilters, OFN_OVERWRITEPROMPT);
  dialog.ofn.lpstrDefExt = L"txt";
  dialog.OfferFile(FolderOf(workbook) + Text(kReportFileName));
  if (!GetSaveFileNameW(&dialog.ofn)) return std::nullopt;
  return dialog.Chosen();
}

}  // namespace drumlo
