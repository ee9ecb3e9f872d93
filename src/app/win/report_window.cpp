// The report window: laid out in device-independent pixels at its own DPI, sized to fit the
// screen it opens on, and driven by the keyboard like a dialog box.
#include "report_window.h"

#include <algorithm>
#include <string>

#include "app/words.h"
#include "file_dialogs.h"
#include "fileio/file_access.h"
#include "fileio/utf8.h"
#include "resource.h"
#include "window_kit.h"

namespace drumlo {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW & ~WS_MINIMIZEBOX;
constexpr int kWidthDips = 640;
constexpr int kHeightDips = 480;
constexpr int kMinWidthDips = 320;
constexpr int kMinHeightDips = 200;
constexpr int kMarginDips = 8;
constexpr int kButtonWidthDips = 100;
constexpr int kButtonHeightDips = 26;
constexpr WPARAM kCtrlA = 0x01;  // the character that Ctrl+A types

struct ControlSpec {
  int id;
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style;
};

// In tab order.
constexpr ControlSpec kControls[] = {
    {IDC_REPORT_TEXT, L"EDIT",
     WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
         ES_AUTOHSCROLL | ES_NOHIDESEL,
     WS_EX_CLIENTEDGE},
    {IDC_REPORT_SAVE, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0},
};

HWND CreateChild(HWND parent, HINSTANCE instance, const ControlSpec& c, TextView text) {
  return CreateWindowExW(c.ex_style, c.window_class, Wide(Text(text)),
                         WS_CHILD | WS_VISIBLE | c.style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
}

RECT WorkAreaOf(HWND hwnd) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
  return monitor.rcWork;
}

}  // namespace

void ReportWindow::Show(HINSTANCE instance, HWND owner, TextView text, TextView workbook) {
  if (hwnd_ == nullptr && !Create(instance, owner)) return;
  Refresh(text, workbook);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
}

void ReportWindow::Refresh(TextView text, TextView workbook) {
  if (hwnd_ == nullptr) return;
  text_ = Text(text);
  workbook_ = Text(workbook);
  SetWindowTextW(TextBox(), Wide(text_));
}

bool ReportWindow::TakeMessage(MSG& msg) {
  if (hwnd_ == nullptr || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
    Close();
    return true;
  }
  if (msg.message == WM_CHAR && msg.wParam == kCtrlA && msg.hwnd == TextBox()) {
    SendMessageW(TextBox(), EM_SETSEL, 0, -1);
    return true;
  }
  return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

bool ReportWindow::Create(HINSTANCE instance, HWND owner) {
  if (!RegisterWindowClass(instance, REPORT_WINDOW_CLASS, &ReportWindow::WndProc)) return false;
  CreateWindowExW(0, REPORT_WINDOW_CLASS, Wide(Text(kReportCaption)), kStyle, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance, this);
  if (hwnd_ == nullptr) return false;
  dpi_ = GetDpiForWindow(hwnd_);
  CreateControls(instance);
  ApplyMessageFont(hwnd_, dpi_, font_);
  PlaceOver(owner);
  last_focus_ = TextBox();
  return true;
}

LRESULT CALLBACK ReportWindow::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* window =
        static_cast<ReportWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<ReportWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    window->hwnd_ = nullptr;
    window->last_focus_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return window->HandleMessage(message, wparam, lparam);
}

LRESULT ReportWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_REPORT_SAVE && HIWORD(wparam) == BN_CLICKED) SaveAs();
      if (LOWORD(wparam) == IDCANCEL) Close();
      return 0;
    case WM_ACTIVATE:
      KeepFocusAcrossActivation(hwnd_, wparam, last_focus_);
      return 0;
    case WM_SETFOCUS:
      if (last_focus_ != nullptr) SetFocus(last_focus_);
      return 0;
    case WM_NEXTDLGCTL:  // sent by the multi-line text box for Tab, as in a dialog box
      OnNextControl(wparam, lparam);
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnTextBoxColour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_SIZE:
      LayOut();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize = {Scale(kMinWidthDips), Scale(kMinHeightDips)};
      return 0;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wparam);
      ApplyMessageFont(hwnd_, dpi_, font_);
      const RECT& r = *reinterpret_cast<RECT*>(lparam);
      SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY:
      if (font_ != nullptr) DeleteObject(font_);
      font_ = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void ReportWindow::CreateControls(HINSTANCE instance) {
  for (const ControlSpec& c : kControls) {
    CreateChild(hwnd_, instance, c, c.id == IDC_REPORT_SAVE ? kSaveReportCaption : u"");
  }
  // The report may be longer than a text box takes by default.
  SendMessageW(TextBox(), EM_SETLIMITTEXT, 0, 0);
}

// Centred over the main window, the size it asks for where the screen has room.
void ReportWindow::PlaceOver(HWND owner) {
  const RECT work = WorkAreaOf(owner);
  RECT frame = {0, 0, Scale(kWidthDips), Scale(kHeightDips)};
  AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, dpi_);
  const int width = std::min<int>(frame.right - frame.left, work.right - work.left);
  const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
  RECT around;
  GetWindowRect(owner, &around);
  const int left =
      std::clamp<int>((around.left + around.right - width) / 2, work.left, work.right - width);
  const int top =
      std::clamp<int>((around.top + around.bottom - height) / 2, work.top, work.bottom - height);
  SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The text box fills the window above a row that holds the Save As button at its right.
void ReportWindow::LayOut() {
  RECT client;
  GetClientRect(hwnd_, &client);
  const int margin = Scale(kMarginDips);
  const int button_width = Scale(kButtonWidthDips);
  const int button_height = Scale(kButtonHeightDips);
  const int box_height = std::max<int>(0, client.bottom - 3 * margin - button_height);
  SetWindowPos(TextBox(), nullptr, margin, margin, std::max<int>(0, client.right - 2 * margin),
               box_height, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(GetDlgItem(hwnd_, IDC_REPORT_SAVE), nullptr,
               std::max<int>(margin, client.right - margin - button_width),
               client.bottom - margin - button_height, button_width, button_height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void ReportWindow::OnNextControl(WPARAM wparam, LPARAM lparam) {
  HWND next = lparam != 0 ? reinterpret_cast<HWND>(wparam)
                          : GetNextDlgTabItem(hwnd_, GetFocus(), wparam != 0);
  if (next != nullptr) SetFocus(next);
}

// The read-only text box is painted as a page to read, not greyed like a disabled one.
LRESULT ReportWindow::OnTextBoxColour(HDC dc, HWND control) {
  if (control != TextBox())
    return DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(control));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

// UTF-8 with a byte-order mark, lines ended with CR LF as the text box shows them.
void ReportWindow::SaveAs() {
  const std::optional<Text> path = ChooseReportPath(hwnd_, workbook_);
  if (!path) return;
  const std::string bytes = "\xEF\xBB\xBF" + EncodeUtf8(text_);
  const std::int32_t code = SystemFiles().Write(
      *path, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  if (code == kErrorSuccess) return;
  MessageBoxW(hwnd_, Wide(ReportNotSavedText(*path, code)), Wide(Text(kAppTitle)),
              MB_OK | MB_ICONWARNING);
}

void ReportWindow::Close() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

HWND ReportWindow::TextBox() const {
  return GetDlgItem(hwnd_, IDC_REPORT_TEXT);
}

int ReportWindow::Scale(int dips) const {
  return MulDiv(dips, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI);
}

}  // namespace drumlo
