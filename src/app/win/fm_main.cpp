// fmMain: controls placed in twips at the window's DPI, a status line that keeps the window
// responsive during a run, and a process that ends at once on Exit or close.
#include "fm_main.h"

#include <span>

#include "app/field_path.h"
#include "app/report_text.h"
#include "app/startup_context.h"
#include "file_dialogs.h"
#include "generator/numeric_value.h"
#include "resource.h"
#include "version_resource.h"

namespace drumlo {
namespace {

constexpr wchar_t kClassName[] = L"DrumloFmMain";
constexpr int kTwipsPerInch = 1440;
constexpr int kClientWidthTwips = 2904;
constexpr int kClientHeightTwips = 1860;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT;

struct ControlSpec {
  int id;
  const wchar_t* window_class;
  TextView text;
  DWORD style;
  DWORD ex_style;
  int left, top, width, height;  // twips from the client area's top-left corner
};

// In tab order: the creation order is the order Tab moves in.
constexpr ControlSpec kControls[] = {
    {IDC_TXFILE, L"EDIT", kDefaultWorkbook, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 240, 0,
     2415, 270},
    {IDC_TXFROM, L"EDIT", kDefaultIdFrom, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 240, 360,
     975, 270},
    {IDC_TXTO, L"EDIT", kDefaultIdTo, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 1680, 360, 975,
     270},
    {IDC_CMDGEN, L"BUTTON", kGenerateCaption, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 240, 720, 2415,
     495},
    // Broken at the label's width like an edit control, so a long path wraps mid-word.
    {IDC_LBSTATUS, L"STATIC", kStatusCaption, SS_LEFT | SS_EDITCONTROL, 0, 0, 1320, 2895, 615},
};

struct MenuItemSpec {
  int id;  // 0: a separator
  TextView caption;
  UINT flags;
};

// File: the open dialog, the report (greyed until a run has left one) and Exit, which stays
// last; Help: About. No item has a shortcut key.
constexpr MenuItemSpec kFileItems[] = {
    {IDM_OPEN, kOpenItem, MF_STRING},
    {IDM_REPORT, kReportItem, MF_STRING | MF_GRAYED},
    {0, u"", MF_SEPARATOR},
    {IDM_EXIT, kExitItem, MF_STRING},
};
constexpr MenuItemSpec kHelpItems[] = {
    {IDM_ABOUT, kAboutItem, MF_STRING},
};

void AppendPopup(HMENU bar, TextView caption, std::span<const MenuItemSpec> items) {
  HMENU menu = CreatePopupMenu();
  for (const MenuItemSpec& item : items) {
    AppendMenuW(menu, item.flags, static_cast<UINT_PTR>(item.id), Wide(Text(item.caption)));
  }
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), Wide(Text(caption)));
}

// The first dropped path that is not a folder, if any.
std::optional<Text> FirstDroppedFile(HDROP drop) {
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT k = 0; k < count; ++k) {
    const UINT length = DragQueryFileW(drop, k, nullptr, 0);
    Text path(length + 1, u'\0');
    DragQueryFileW(drop, k, reinterpret_cast<wchar_t*>(path.data()), length + 1);
    path.resize(length);
    const DWORD attributes = GetFileAttributesW(Wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return path;
    }
  }
  return std::nullopt;
}

DateTime LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

UINT IconFlag(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return MB_ICONINFORMATION;
    case MessageIcon::kWarning:
      return MB_ICONWARNING;
    case MessageIcon::kNone:
      break;
  }
  return 0;
}

}  // namespace

bool FmMain::Create(HINSTANCE instance, int show_command) {
  instance_ = instance;
  if (!RegisterWindowClass(instance, kClassName, &FmMain::WndProc)) return false;
  hwnd_ = CreateWindowExW(kWindowExStyle, kClassName, Wide(Text(kAppTitle)), kWindowStyle,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                          CreateMainMenu(), instance, this);
  if (hwnd_ == nullptr) return false;
  ShowWindow(hwnd_, show_command);
  SetFocus(last_focus_);
  return true;
}

int FmMain::RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    DispatchOne(msg);
  return static_cast<int>(msg.wParam);
}

// Both message loops come through here: the idle one and the status line's during a run.
void FmMain::DispatchOne(MSG& msg) {
  if (report_window_.TakeMessage(msg)) return;
  // Tab, Enter and the access keys of the controls work as in a dialog box.
  if (IsDialogMessageW(hwnd_, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

LRESULT CALLBACK FmMain::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<FmMain*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<FmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  return window->HandleMessage(message, wparam, lparam);
}

LRESULT FmMain::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate();
    case WM_COMMAND:
      return OnCommand(LOWORD(wparam), HIWORD(wparam));
    case WM_ACTIVATE:
      return OnActivate(wparam);
    case WM_SETFOCUS:
      return OnSetFocus();
    case WM_SETCURSOR:
      return OnSetCursor(wparam, lparam);
    case WM_DROPFILES:
      return OnDropFiles(reinterpret_cast<HDROP>(wparam));
    case WM_DPICHANGED:
      return OnDpiChanged(HIWORD(wparam), *reinterpret_cast<RECT*>(lparam));
    case DM_GETDEFID:
      return MAKELRESULT(IDC_CMDGEN, DC_HASDEFID);
    case WM_CLOSE:
      OnExit();
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

LRESULT FmMain::OnCreate() {
  dpi_ = GetDpiForWindow(hwnd_);
  CreateControls();
  ApplyMessageFont(hwnd_, dpi_, font_);
  LayOut();
  SizeToClientArea();
  last_focus_ = Control(IDC_TXFILE);
  StartUp();
  return 0;
}

// The load handler: the start-up context first, then the workbook path from the command line.
void FmMain::StartUp() {
  InitApp();
  if (!GetArgumentText().empty() && GetArgCount() > 1) SetControlText(IDC_TXFILE, GetArg(1));
}

LRESULT FmMain::OnCommand(int id, int notification) {
  switch (id) {
    case IDC_CMDGEN:
      if (notification == BN_CLICKED) Generate();
      break;
    case IDOK:  // Enter where no default button answered it
      Generate();
      break;
    case IDM_OPEN:
      ChooseWorkbookFile();
      break;
    case IDM_REPORT:
      ShowReport();
      break;
    case IDM_ABOUT:
      ShowAbout();
      break;
    case IDM_EXIT:
      OnExit();
  }
  return 0;
}

LRESULT FmMain::OnActivate(WPARAM wparam) {
  KeepFocusAcrossActivation(hwnd_, wparam, last_focus_);
  return 0;
}

LRESULT FmMain::OnSetFocus() {
  if (last_focus_ != nullptr) SetFocus(last_focus_);
  return 0;
}

// The hourglass applies over the whole window, controls included (they ask their parent first).
LRESULT FmMain::OnSetCursor(WPARAM wparam, LPARAM lparam) {
  if (!busy_) return DefWindowProcW(hwnd_, WM_SETCURSOR, wparam, lparam);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  return TRUE;
}

// A dropped folder is passed over; of several files the first is taken.
LRESULT FmMain::OnDropFiles(HDROP drop) {
  if (const std::optional<Text> path = FirstDroppedFile(drop)) SetControlText(IDC_TXFILE, *path);
  DragFinish(drop);
  return 0;
}

LRESULT FmMain::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  ApplyMessageFont(hwnd_, dpi_, font_);
  LayOut();
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  SizeToClientArea();
  return 0;
}

// Exit and close end the program at once, also in the middle of a run; nothing is saved.
void FmMain::OnExit() {
  ExitProcess(0);
}

void FmMain::ChooseWorkbookFile() {
  const Text current = WorkbookPathOf(ControlText(IDC_TXFILE), SystemFiles());
  if (const std::optional<Text> chosen = ChooseWorkbook(hwnd_, current)) {
    SetControlText(IDC_TXFILE, *chosen);
  }
}

void FmMain::Generate() {
  // A nested run would share this window's song values with the run it interrupted.
  if (running_) return;
  const Text path = WorkbookPathOf(ControlText(IDC_TXFILE), SystemFiles());
  const Text from_text = ControlText(IDC_TXFROM);
  const Text to_text = ControlText(IDC_TXTO);
  const double from_value = NumericValue(from_text);
  const double to_value = NumericValue(to_text);
  const std::optional<std::int32_t> id_to = RoundToInt32(to_value);
  if (!id_to) return ReportIdOutOfRange(to_text);
  const std::optional<std::int32_t> id_from = RoundToInt32(from_value);
  if (!id_from) return ReportIdOutOfRange(from_text);

  RunReport report;
  RunContext context{*this, SystemFiles(), song_values_, GetAppDir()};
  context.report = &report;
  running_ = true;
  UpdateReportItem();
  const RunResult result = GenList(path, *id_from, *id_to, context);
  running_ = false;
  KeepReport(report, result);
  UpdateReportItem();
}

void FmMain::KeepReport(const RunReport& report, const RunResult& result) {
  if (!ReplacesLastReport(result)) return;
  report_text_ = WindowReportText(report, result, DateTimeText(LocalNow()), GetAppDir());
  report_workbook_ = report.workbook;
  report_notices_ = NoticeCount(report);
  report_window_.Refresh(*report_text_, report_workbook_);
}

void FmMain::ShowReport() {
  if (running_ || !report_text_) return;
  report_window_.Show(instance_, hwnd_, *report_text_, report_workbook_);
}

// Greyed during a run and until a run has left a report; the count of lines that ask for
// attention is in the item, so that the status line keeps its texts.
void FmMain::UpdateReportItem() {
  HMENU menu = GetMenu(hwnd_);
  const UINT state = running_ || !report_text_ ? MF_GRAYED : MF_ENABLED;
  ModifyMenuW(menu, IDM_REPORT, MF_BYCOMMAND | MF_STRING | state, IDM_REPORT,
              Wide(ReportItemText(report_notices_)));
}

void FmMain::ReportIdOutOfRange(const Text& field_text) {
  Say(IdOutOfRangeText(field_text), MessageIcon::kWarning);
}

void FmMain::ShowAbout() {
  Say(AboutText(ReadOwnVersion()), MessageIcon::kInformation);
}

void FmMain::ShowStatus(const RunStatus& status) {
  UpdateStatus(StatusText(status));
}

void FmMain::ShowMessage(const RunMessage& message) {
  Say(MessageText(message), IconOf(message.kind));
}

void FmMain::UpdateStatus(TextView status) {
  SetControlText(IDC_LBSTATUS, status);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) ExitProcess(static_cast<UINT>(msg.wParam));
    DispatchOne(msg);
  }
}

void FmMain::SetHourglass(bool busy) {
  busy_ = busy;
  POINT cursor;
  if (!GetCursorPos(&cursor)) return;
  HWND under = WindowFromPoint(cursor);
  if (under == hwnd_ || IsChild(hwnd_, under)) {
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
  }
}

void FmMain::Say(TextView text, MessageIcon icon) {
  MessageBoxW(hwnd_, Wide(Text(text)), Wide(Text(kAppTitle)), MB_OK | IconFlag(icon));
}

void FmMain::Beep() {
  MessageBeep(MB_OK);
}

HMENU FmMain::CreateMainMenu() {
  HMENU bar = CreateMenu();
  AppendPopup(bar, kFileMenu, kFileItems);
  AppendPopup(bar, kHelpMenu, kHelpItems);
  return bar;
}

void FmMain::CreateControls() {
  for (const ControlSpec& c : kControls) {
    CreateWindowExW(c.ex_style, c.window_class, Wide(Text(c.text)), WS_CHILD | WS_VISIBLE | c.style,
                    0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                    instance_, nullptr);
  }
}

void FmMain::LayOut() {
  for (const ControlSpec& c : kControls) {
    SetWindowPos(Control(c.id), nullptr, Scale(c.left), Scale(c.top), Scale(c.width),
                 Scale(c.height), SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The client area is given in twips; the frame and menu bar come on top at the window's DPI.
void FmMain::SizeToClientArea() {
  RECT frame = {0, 0, Scale(kClientWidthTwips), Scale(kClientHeightTwips)};
  AdjustWindowRectExForDpi(&frame, kWindowStyle, TRUE, kWindowExStyle, dpi_);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A menu bar that wraps to a second line takes client height; give it back.
  RECT client;
  GetClientRect(hwnd_, &client);
  const int missing = Scale(kClientHeightTwips) - (client.bottom - client.top);
  if (missing > 0) {
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + missing,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void FmMain::SetControlText(int id, TextView text) const {
  SetWindowTextW(Control(id), Wide(Text(text)));
}

int FmMain::Scale(int twips) const {
  return MulDiv(twips, static_cast<int>(dpi_), kTwipsPerInch);
}

}  // namespace drumlo
