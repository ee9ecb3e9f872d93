// The report window: the last run's report in a read-only text box that can be selected and
// copied, and saved as a UTF-8 file. Owned by the main window, modeless, one at a time.
#pragma once

#include <windows.h>

#include "common/text.h"

namespace drumlo {

class ReportWindow {
 public:
  // Opens the window over `owner`, or brings the open one to the front; either way it shows
  // `text`. `workbook` chooses the folder that Save As offers.
  void Show(HINSTANCE instance, HWND owner, TextView text, TextView workbook);
  // A new report replaces what an open window shows; a closed window stays closed.
  void Refresh(TextView text, TextView workbook);
  // Handles the window's keys (Esc closes, Ctrl+A selects all, Tab, Enter and the access keys
  // work as in a dialog box); true when `msg` was for this window and has been handled.
  [[nodiscard]] bool TakeMessage(MSG& msg);

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  [[nodiscard]] bool Create(HINSTANCE instance, HWND owner);
  void CreateControls(HINSTANCE instance);
  void PlaceOver(HWND owner);
  void LayOut();
  void OnNextControl(WPARAM wparam, LPARAM lparam);
  LRESULT OnTextBoxColour(HDC dc, HWND control);
  void SaveAs();
  void Close();

  [[nodiscard]] HWND TextBox() const;
  [[nodiscard]] int Scale(int dips) const;

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HWND last_focus_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  Text text_;
  Text workbook_;
};

}  // namespace drumlo
