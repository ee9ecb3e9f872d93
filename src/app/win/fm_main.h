// fmMain: the program's only window. It owns the song values that outlive a run and is the host
// of every generation run.
#pragma once

#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <optional>

#include "app/words.h"
#include "generator/gen_list.h"
#include "report_window.h"
#include "window_kit.h"

namespace drumlo {

class FmMain final : public RunHost {
 public:
  // Registers the class, creates the window and its controls, runs the start-up and shows it.
  [[nodiscard]] bool Create(HINSTANCE instance, int show_command);
  // The message loop of the idle window; the process ends from inside it (Exit, close).
  int RunMessageLoop();

  // Shows a status text and processes the window messages pending at that moment.
  void UpdateStatus(TextView status);

  // RunHost: what a generation run asks of the window.
  void ShowStatus(const RunStatus& status) override;
  void ShowMessage(const RunMessage& message) override;
  void SetHourglass(bool busy) override;
  void Beep() override;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  LRESULT OnCreate();
  LRESULT OnCommand(int id, int notification);
  LRESULT OnActivate(WPARAM wparam);
  LRESULT OnSetFocus();
  LRESULT OnSetCursor(WPARAM wparam, LPARAM lparam);
  LRESULT OnDropFiles(HDROP drop);
  LRESULT OnDpiChanged(UINT dpi, const RECT& suggested);
  [[noreturn]] static void OnExit();

  void StartUp();
  void ChooseWorkbookFile();
  void Generate();
  void KeepReport(const RunReport& report, const RunResult& result);
  void ShowReport();
  void UpdateReportItem();
  void ReportIdOutOfRange(const Text& field_text);
  void ShowAbout();
  void Say(TextView text, MessageIcon icon);
  [[nodiscard]] static HMENU CreateMainMenu();
  void CreateControls();
  void LayOut();
  void SizeToClientArea();
  void DispatchOne(MSG& msg);

  [[nodiscard]] HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  [[nodiscard]] Text ControlText(int id) const { return WindowText(Control(id)); }
  void SetControlText(int id, TextView text) const;
  [[nodiscard]] int Scale(int twips) const;

  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HWND last_focus_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  bool busy_ = false;
  bool running_ = false;
  WindowSongValues song_values_;
  // The last report that a run left, as the report window shows it.
  std::optional<Text> report_text_;
  Text report_workbook_;
  std::int64_t report_notices_ = 0;
  ReportWindow report_window_;
};

}  // namespace drumlo
