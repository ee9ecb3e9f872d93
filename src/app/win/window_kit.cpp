#include "window_kit.h"

#include "resource.h"

namespace drumlo {
namespace {

BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

}  // namespace

Text WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  Text text(static_cast<std::size_t>(length) + 1, u'\0');
  const int copied = GetWindowTextW(hwnd, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  if (GetClassInfoExW(instance, name, &window_class)) return true;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = name;
  return RegisterClassExW(&window_class) != 0;
}

void ApplyMessageFont(HWND window, UINT dpi, HFONT& font) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
    return;
  }
  HFONT made = CreateFontIndirectW(&metrics.lfMessageFont);
  if (made == nullptr) return;
  EnumChildWindows(window, &SetChildFont, reinterpret_cast<LPARAM>(made));
  if (font != nullptr) DeleteObject(font);
  font = made;
}

void KeepFocusAcrossActivation(HWND window, WPARAM wparam, HWND& last_focus) {
  if (LOWORD(wparam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window, focus)) last_focus = focus;
  } else if (last_focus != nullptr) {
    SetFocus(last_focus);
  }
}

}  // namespace drumlo
