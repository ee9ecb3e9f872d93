// Drives the window program from another process: start it, find its window and controls, read
// and set texts, post clicks and keys, find its message boxes, take screenshots.
#pragma once

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ui_probe.h"

namespace drumlo::ui {

// A Windows path for a path of the build machine ("/x/y" becomes "Z:\x\y" under Wine).
[[nodiscard]] std::wstring WindowsPath(const std::string& path);
[[nodiscard]] std::wstring WindowsPath(std::wstring path);

// The program the tests drive: the one DRUMLO_GUI_EXE names, when set (a copy unpacked from the
// release zip, say), else the one built with the tests.
[[nodiscard]] std::wstring ProgramUnderTest();
[[nodiscard]] std::wstring FromUtf8(const std::string& utf8);
[[nodiscard]] std::string ToUtf8(const std::wstring& text);

// A fresh folder in the temp folder, removed with its files at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  [[nodiscard]] const std::wstring& path() const { return path_; }
  // Names of the files in the folder matching `pattern` ("*.txt"), sorted.
  [[nodiscard]] std::vector<std::wstring> Files(const std::wstring& pattern) const;

 private:
  std::wstring path_;
};

[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::wstring& path);
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// The clipboard's text, if it holds one.
[[nodiscard]] std::optional<std::wstring> ClipboardText();

struct MessageBoxView {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring text;
  std::vector<int> buttons;  // ids of the visible buttons
  HWND icon = nullptr;       // the visible icon control, null when none shows
};

// An item of the menu bar's menus as the user sees it.
struct MenuItemView {
  int menu = 0;          // 0 for the first menu of the bar
  std::wstring caption;  // empty for a separator
  UINT id = 0;
  bool greyed = false;
  bool operator==(const MenuItemView&) const = default;
};
void PrintTo(const MenuItemView& item, std::ostream* os);

// The window's screen DPI for the programs started while it lives (Wine reads it at start).
class ScreenDpi {
 public:
  explicit ScreenDpi(DWORD dpi);
  ~ScreenDpi();
  ScreenDpi(const ScreenDpi&) = delete;
  ScreenDpi& operator=(const ScreenDpi&) = delete;

 private:
  std::optional<DWORD> before_;
};

// Which of `candidates` (system icon ids such as IDI_WARNING) the icon control shows: the index
// of the one whose drawing matches the screen best.
[[nodiscard]] int ClosestSystemIcon(HWND icon_control, const std::vector<LPCWSTR>& candidates);

// The program started with `arguments` after its quoted path, from a copy in `dir` (so that
// `dir` is its application directory) with `dir` as its current directory.
class RunningApp {
 public:
  RunningApp(const TempDir& dir, const std::wstring& arguments);
  ~RunningApp();
  RunningApp(const RunningApp&) = delete;
  RunningApp& operator=(const RunningApp&) = delete;

  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] HWND Control(int id) const { return GetDlgItem(window_, id); }
  [[nodiscard]] std::wstring Text(int id) const { return TextOf(Control(id)); }
  [[nodiscard]] static std::wstring TextOf(HWND hwnd);
  void SetText(int id, const std::wstring& text) const;
  // Posted, not sent: the click starts a run that the caller watches.
  void Click(int id) const;
  void Command(int id) const;
  void PressKey(HWND target, WPARAM key) const;
  [[nodiscard]] HWND Focus() const;
  // Polls until `pred` holds or `timeout_ms` passes.
  template <typename Pred>
  [[nodiscard]] static bool WaitFor(Pred pred, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    while (!pred()) {
      if (GetTickCount64() > end) return false;
      Sleep(20);
    }
    return true;
  }
  [[nodiscard]] bool WaitForStatus(const std::wstring& status, DWORD timeout_ms) const;
  // The message box owned by the window, once it shows.
  [[nodiscard]] std::optional<MessageBoxView> WaitForMessageBox(DWORD timeout_ms) const;
  // A visible window of `window_class` owned by `owner`, once it shows; and how many there are.
  [[nodiscard]] HWND WaitForOwned(HWND owner, const wchar_t* window_class, DWORD timeout_ms) const;
  [[nodiscard]] int CountOwned(HWND owner, const wchar_t* window_class) const;
  // The menu bar as it reads now, read inside the program (see ui_probe.h).
  [[nodiscard]] std::vector<MenuItemView> Menu() const;
  // Drops `paths` onto the window as a file manager does.
  [[nodiscard]] bool DropFiles(const std::vector<std::wstring>& paths) const;
  [[nodiscard]] std::optional<DWORD> WaitForExit(DWORD timeout_ms) const;
  // What the program holds now, read inside it: private memory in bytes and handles (GDI and
  // USER objects read 0 where the system does not count them).
  struct Use {
    SIZE_T private_bytes = 0;
    DWORD handles = 0;
    DWORD gdi_objects = 0;
    DWORD user_objects = 0;
  };
  [[nodiscard]] std::optional<Use> CurrentUse() const;

 private:
  // Loads the probe library into the program to answer `request`; false when it did not.
  bool Probe(ProbeRequest& request) const;

  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
};

// A common open or save dialog: the text of its file name box, its list of file types, and
// the answer: `path` typed into the box and OK pressed (false when it has no such box).
[[nodiscard]] std::optional<std::wstring> FileDialogName(HWND dialog);
[[nodiscard]] std::vector<std::wstring> FileTypes(HWND dialog);
[[nodiscard]] bool AnswerFileDialog(HWND dialog, const std::wstring& path);

// True once the client area of `control` on the screen holds more than its background: the
// control has drawn its content.
[[nodiscard]] bool ShowsDrawing(HWND control);

// Saves the screen area `rect` as DRUMLO_SCREENSHOT_DIR/<name>.png; the number of distinct
// colours in it, or nullopt when no screenshot came.
[[nodiscard]] std::optional<int> Screenshot(const RECT& rect, const std::string& name);

}  // namespace drumlo::ui
