// What the program's windows share: texts at the Win32 boundary (a Text holds UTF-16 code
// units, as wchar_t does on Windows), the message font at a DPI, and the focus that a window
// keeps while another one is active.
#pragma once

#include <windows.h>

#include "common/text.h"

namespace drumlo {

inline const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

[[nodiscard]] Text WindowText(HWND hwnd);

// A window class of the program: its icon, the arrow pointer, the dialog colour. Registered on
// the first call; false when that fails.
[[nodiscard]] bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure);

// Gives every child of `window` the system's message font at `dpi`; `font` holds the font in
// use, which is replaced (and the one before it deleted) unless the new one cannot be made.
void ApplyMessageFont(HWND window, UINT dpi, HFONT& font);

// WM_ACTIVATE: keeps the focused child in `last_focus` when the window goes inactive and gives
// it the focus back when it comes back, as a dialog box does.
void KeepFocusAcrossActivation(HWND window, WPARAM wparam, HWND& last_focus);

}  // namespace drumlo
