// What the UI test files share: the program's texts, timeouts and the example's paths.
#pragma once

#include <windows.h>

#include <string>

#include "gui_driver.h"

namespace drumlo::ui {

inline constexpr wchar_t kTitle[] = L"Drumlo歌曲列表生成器";
inline constexpr wchar_t kDone[] = L"读取完毕!";
inline constexpr DWORD kStartMs = 20000;
inline constexpr DWORD kRunMs = 120000;
inline constexpr DWORD kBoxMs = 10000;
// Rendered text, frames and caption give a window many colours; a blank capture has one or two.
inline constexpr int kMinColours = 8;

inline std::wstring ExampleWorkbook() {
  return WindowsPath(std::string(DRUMLO_SOURCE_DIR) + "/examples/歌曲规范总表.xml");
}
inline std::wstring ExpectedDir() {
  return WindowsPath(std::string(DRUMLO_SOURCE_DIR) + "/examples/expected");
}
inline std::wstring Quoted(const std::wstring& text) {
  return L"\"" + text + L"\"";
}

inline RECT ScreenRect(HWND hwnd) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  return rect;
}

}  // namespace drumlo::ui
