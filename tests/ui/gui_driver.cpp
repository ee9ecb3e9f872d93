// Cross-process driving of the window program through window messages.
#include "gui_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>

#include "resource.h"

namespace drumlo::ui {
namespace {

constexpr DWORD kMessageTimeoutMs = 5000;
constexpr DWORD kIconPaintMs = 3000;
constexpr wchar_t kAppTitle[] = L"Drumlo歌曲列表生成器";

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

constexpr wchar_t kDialogClass[] = L"#32770";

struct WindowSearch {
  DWORD process_id;
  HWND owner;                   // null: a top-level window with the application title
  const wchar_t* window_class;  // of the owned window
  HWND found = nullptr;
  int count = 0;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD process_id = 0;
  GetWindowThreadProcessId(hwnd, &process_id);
  if (process_id != search->process_id || !IsWindowVisible(hwnd)) return TRUE;
  const bool wanted =
      search->owner == nullptr
          ? RunningApp::TextOf(hwnd) == kAppTitle && ClassOf(hwnd) != kDialogClass
          : GetWindow(hwnd, GW_OWNER) == search->owner && ClassOf(hwnd) == search->window_class;
  if (!wanted) return TRUE;
  if (search->found == nullptr) search->found = hwnd;
  ++search->count;
  return TRUE;
}

WindowSearch SearchWindows(DWORD process_id, HWND owner,
                           const wchar_t* window_class = kDialogClass) {
  WindowSearch search = {process_id, owner, window_class};
  EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search;
}

HWND FindProcessWindow(DWORD process_id, HWND owner) {
  return SearchWindows(process_id, owner).found;
}

BOOL CALLBACK CollectBoxPart(HWND child, LPARAM param) {
  auto* view = reinterpret_cast<MessageBoxView*>(param);
  if (!IsWindowVisible(child)) return TRUE;
  const std::wstring kind = ClassOf(child);
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  if (_wcsicmp(kind.c_str(), L"Button") == 0) {
    view->buttons.push_back(GetDlgCtrlID(child));
  } else if (_wcsicmp(kind.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &icon);
    if (icon != 0) view->icon = child;
  }
  return TRUE;
}

// 32-bit pixels of a memory bitmap, top row first.
class Pixels {
 public:
  Pixels(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ =
        CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Pixels() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Pixels(const Pixels&) = delete;
  Pixels& operator=(const Pixels&) = delete;
  [[nodiscard]] HDC dc() const { return dc_; }
  [[nodiscard]] std::uint32_t At(int x, int y) const {
    GdiFlush();
    return bits_[y * width_ + x] & 0xFFFFFF;
  }
  void Fill(std::uint32_t colour) {
    GdiFlush();
    std::fill(bits_, bits_ + width_ * height_, colour);
  }
  // Sum of the channel differences against `other`.
  [[nodiscard]] long long Distance(const Pixels& other) const {
    long long sum = 0;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        const std::uint32_t a = At(x, y);
        const std::uint32_t b = other.At(x, y);
        for (int shift = 0; shift < 24; shift += 8) {
          sum += std::abs(static_cast<int>((a >> shift) & 0xFF) -
                          static_cast<int>((b >> shift) & 0xFF));
        }
      }
    }
    return sum;
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = dir + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path);
    } else {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  RemoveDirectoryW(dir.c_str());
}

}  // namespace

std::wstring FromUtf8(const std::string& utf8) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

std::string ToUtf8(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                      nullptr, nullptr);
  return bytes;
}

std::wstring WindowsPath(const std::string& path) {
  return WindowsPath(FromUtf8(path));
}

std::wstring WindowsPath(std::wstring path) {
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::wstring ProgramUnderTest() {
  const wchar_t* named = _wgetenv(L"DRUMLO_GUI_EXE");
  if (named != nullptr && *named != L'\0') return WindowsPath(std::wstring(named));
  return WindowsPath(std::string(DRUMLO_GUI_EXE));
}

TempDir::TempDir() {
  static int counter = 0;
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  path_ = std::wstring(temp) + L"drumlo-ui-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter);
  RemoveTree(path_);
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
  RemoveTree(path_);
}

std::vector<std::wstring> TempDir::Files(const std::wstring& pattern) const {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((path_ + L"\\" + pattern).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0)
    bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::optional<std::wstring> ClipboardText() {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<std::wstring> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

RunningApp::RunningApp(const TempDir& dir, const std::wstring& arguments) {
  const std::wstring exe = dir.path() + L"\\DrumloListGen.exe";
  CopyFileW(ProgramUnderTest().c_str(), exe.c_str(), FALSE);
  std::wstring command = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      dir.path().c_str(), &startup, &process_)) {
    return;
  }
  // WaitForInputIdle returns before the window exists; look for it instead.
  (void)WaitFor([this] { return (window_ = FindProcessWindow(process_.dwProcessId, nullptr)); },
                20000);
}

RunningApp::~RunningApp() {
  if (process_.hProcess == nullptr) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 5000) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

std::wstring RunningApp::TextOf(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                           &length)) {
    return L"<no answer>";
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied);
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

void RunningApp::SetText(int id, const std::wstring& text) const {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored);
}

void RunningApp::Click(int id) const {
  PostMessageW(Control(id), BM_CLICK, 0, 0);
}

void RunningApp::Command(int id) const {
  PostMessageW(window_, WM_COMMAND, id, 0);
}

void RunningApp::PressKey(HWND target, WPARAM key) const {
  const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  PostMessageW(target, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
  PostMessageW(target, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
}

HWND RunningApp::Focus() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(process_.dwThreadId, &info)) return nullptr;
  return info.hwndFocus;
}

bool RunningApp::WaitForStatus(const std::wstring& status, DWORD timeout_ms) const {
  return WaitFor([&] { return Text(IDC_LBSTATUS) == status; }, timeout_ms);
}

std::optional<MessageBoxView> RunningApp::WaitForMessageBox(DWORD timeout_ms) const {
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = FindProcessWindow(process_.dwProcessId, window_)); },
               timeout_ms)) {
    return std::nullopt;
  }
  MessageBoxView view;
  view.hwnd = box;
  view.title = TextOf(box);
  view.text = TextOf(GetDlgItem(box, 0xFFFF));
  EnumChildWindows(box, &CollectBoxPart, reinterpret_cast<LPARAM>(&view));
  std::sort(view.buttons.begin(), view.buttons.end());
  return view;
}

HWND RunningApp::WaitForOwned(HWND owner, const wchar_t* window_class, DWORD timeout_ms) const {
  HWND found = nullptr;
  (void)WaitFor(
      [&] { return (found = SearchWindows(process_.dwProcessId, owner, window_class).found); },
      timeout_ms);
  return found;
}

int RunningApp::CountOwned(HWND owner, const wchar_t* window_class) const {
  return SearchWindows(process_.dwProcessId, owner, window_class).count;
}

bool RunningApp::Probe(ProbeRequest& request) const {
  const std::wstring name = kProbeMappingPrefix + std::to_wstring(process_.dwProcessId);
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(ProbeRequest), name.c_str());
  if (mapping == nullptr) return false;
  auto* shared = static_cast<ProbeRequest*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  bool done = false;
  if (shared != nullptr) {
    *shared = request;
    shared->done = 0;
    // The library's path in the program's memory, for a LoadLibraryW called there; kernel32
    // lies at the same address in every process.
    const std::wstring library = WindowsPath(DRUMLO_UI_PROBE_DLL);
    const SIZE_T bytes = (library.size() + 1) * sizeof(wchar_t);
    void* remote =
        VirtualAllocEx(process_.hProcess, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    const auto load_library = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    if (remote != nullptr &&
        WriteProcessMemory(process_.hProcess, remote, library.c_str(), bytes, nullptr)) {
      HANDLE thread =
          CreateRemoteThread(process_.hProcess, nullptr, 0, load_library, remote, 0, nullptr);
      if (thread != nullptr) {
        WaitForSingleObject(thread, kMessageTimeoutMs);
        CloseHandle(thread);
      }
    }
    if (remote != nullptr) VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
    done = shared->done != 0;
    request = *shared;
    UnmapViewOfFile(shared);
  }
  CloseHandle(mapping);
  return done;
}

std::vector<MenuItemView> RunningApp::Menu() const {
  auto request = std::make_unique<ProbeRequest>();
  request->action = ProbeAction::kReadMenu;
  request->window = reinterpret_cast<std::uint64_t>(window_);
  std::vector<MenuItemView> items;
  if (!Probe(*request)) return items;
  for (int k = 0; k < request->item_count; ++k) {
    const ProbeMenuItem& item = request->items[k];
    const bool separator = (item.state & MF_SEPARATOR) != 0;
    items.push_back({item.menu, separator ? L"" : item.caption, separator ? 0 : item.id,
                     !separator && (item.state & MF_GRAYED) != 0});
  }
  return items;
}

bool RunningApp::DropFiles(const std::vector<std::wstring>& paths) const {
  auto request = std::make_unique<ProbeRequest>();
  request->action = ProbeAction::kDropFiles;
  request->window = reinterpret_cast<std::uint64_t>(window_);
  std::wstring list;
  for (const std::wstring& path : paths)
    list += path + L'\0';
  if (list.size() + 1 > std::size(request->paths)) return false;
  std::copy(list.begin(), list.end(), request->paths);
  return Probe(*request);
}

std::optional<RunningApp::Use> RunningApp::CurrentUse() const {
  auto request = std::make_unique<ProbeRequest>();
  request->action = ProbeAction::kReadUse;
  if (!Probe(*request)) return std::nullopt;
  const ProbeUse& use = request->use;
  return Use{static_cast<SIZE_T>(use.private_bytes), use.handles, use.gdi_objects,
             use.user_objects};
}

std::optional<DWORD> RunningApp::WaitForExit(DWORD timeout_ms) const {
  if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

void PrintTo(const MenuItemView& item, std::ostream* os) {
  *os << "{menu " << item.menu << ", " << testing::PrintToString(item.caption) << ", id " << item.id
      << (item.greyed ? ", greyed}" : "}");
}

namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kDpiValue[] = L"LogPixels";

}  // namespace

ScreenDpi::ScreenDpi(DWORD dpi) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kDpiValue, RRF_RT_REG_DWORD, nullptr, &value,
                   &size) == ERROR_SUCCESS) {
    before_ = value;
  }
  RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kDpiValue, REG_DWORD, &dpi, sizeof(dpi));
}

ScreenDpi::~ScreenDpi() {
  if (before_) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kDpiValue, REG_DWORD, &*before_,
                    sizeof(*before_));
  } else {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kDpiValue);
  }
}

namespace {

struct FileNameBox {
  HWND found = nullptr;
};

// The file name box: an edit control with the id edt1, or the edit inside the combo box cmb13
// that newer dialogs use.
BOOL CALLBACK MatchFileNameBox(HWND child, LPARAM param) {
  constexpr int kEdt1 = 0x480;
  constexpr int kCmb13 = 0x47C;
  if (_wcsicmp(ClassOf(child).c_str(), L"Edit") != 0 || !IsWindowVisible(child)) return TRUE;
  if (GetDlgCtrlID(child) != kEdt1 && GetDlgCtrlID(GetParent(child)) != kCmb13) return TRUE;
  reinterpret_cast<FileNameBox*>(param)->found = child;
  return FALSE;
}

HWND FindFileNameBox(HWND dialog) {
  FileNameBox box;
  EnumChildWindows(dialog, &MatchFileNameBox, reinterpret_cast<LPARAM>(&box));
  return box.found;
}

}  // namespace

std::optional<std::wstring> FileDialogName(HWND dialog) {
  HWND box = FindFileNameBox(dialog);
  if (box == nullptr) return std::nullopt;
  return RunningApp::TextOf(box);
}

// The file type list is the combo box cmb1.
std::vector<std::wstring> FileTypes(HWND dialog) {
  constexpr int kCmb1 = 0x470;
  HWND combo = GetDlgItem(dialog, kCmb1);
  std::vector<std::wstring> types;
  DWORD_PTR count = 0;
  SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &count);
  for (WPARAM k = 0; k < count; ++k) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, k, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXT, k, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied);
    text.resize(std::min<std::size_t>(copied, length));
    types.push_back(text);
  }
  return types;
}

bool AnswerFileDialog(HWND dialog, const std::wstring& path) {
  HWND box = FindFileNameBox(dialog);
  if (box == nullptr) return false;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG,
                      kMessageTimeoutMs, &ignored);
  PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  return true;
}

namespace {

struct IconMatch {
  int index = -1;
  bool clear = false;  // the best candidate is far closer than an empty control would be
};

void CaptureScreen(const Pixels& into, const RECT& rect) {
  HDC screen_dc = GetDC(nullptr);
  BitBlt(into.dc(), 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen_dc, rect.left,
         rect.top, SRCCOPY);
  ReleaseDC(nullptr, screen_dc);
}

IconMatch MatchShownIcon(const RECT& rect, const std::vector<LPCWSTR>& candidates) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  Pixels screen(width, height);
  CaptureScreen(screen, rect);
  // Each candidate is drawn the size the control shows it, on the control's background.
  const std::uint32_t background = screen.At(0, 0);
  Pixels empty(width, height);
  empty.Fill(background);
  const long long empty_distance = screen.Distance(empty);
  IconMatch match;
  long long best_distance = 0;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    Pixels drawn(width, height);
    drawn.Fill(background);
    DrawIconEx(drawn.dc(), 0, 0, LoadIconW(nullptr, candidates[i]), width, height, 0, nullptr,
               DI_NORMAL);
    const long long distance = screen.Distance(drawn);
    if (match.index < 0 || distance < best_distance) {
      match.index = static_cast<int>(i);
      best_distance = distance;
    }
  }
  match.clear = best_distance * 4 < empty_distance;
  return match;
}

}  // namespace

int ClosestSystemIcon(HWND icon_control, const std::vector<LPCWSTR>& candidates) {
  RECT rect;
  GetWindowRect(icon_control, &rect);
  if (rect.right <= rect.left || rect.bottom <= rect.top) return -1;
  // A box just found may not have painted its icon yet; an unpainted control matches
  // whichever candidate has the fewest pixels, so the screen is read again until one
  // candidate clearly fits.
  IconMatch match;
  (void)RunningApp::WaitFor([&] { return (match = MatchShownIcon(rect, candidates)).clear; },
                            kIconPaintMs);
  return match.index;
}

bool ShowsDrawing(HWND control) {
  RECT rect;
  GetClientRect(control, &rect);
  MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  Pixels screen(width, height);
  CaptureScreen(screen, rect);
  const std::uint32_t background = screen.At(0, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (screen.At(x, y) != background) return true;
    }
  }
  return false;
}

// `import` and `identify` are programs of the build machine; Wine starts them but gives no
// handle to wait on, so the shell leaves a marker file when both are done.
std::optional<int> Screenshot(const RECT& rect, const std::string& name) {
  const std::string dir = DRUMLO_SCREENSHOT_DIR;
  const std::string png = dir + "/" + name + ".png";
  const std::string marker = dir + "/" + name + ".colours";
  const std::wstring marker_path = WindowsPath(marker);
  DeleteFileW(marker_path.c_str());
  const std::string crop = std::to_string(rect.right - rect.left) + "x" +
                           std::to_string(rect.bottom - rect.top) + "+" +
                           std::to_string(rect.left) + "+" + std::to_string(rect.top);
  const std::string script = "import -window root -crop " + crop + " +repage '" + png +
                             "' && identify -format %k '" + png + "' > '" + marker +
                             ".part' && mv '" + marker + ".part' '" + marker + "'";
  std::wstring command = L"/bin/sh -c \"" + FromUtf8(script) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return std::nullopt;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::optional<std::string> colours;
  if (!RunningApp::WaitFor([&] { return (colours = ReadWholeFile(marker_path)).has_value(); },
                           30000)) {
    return std::nullopt;
  }
  return std::atoi(colours->c_str());
}

}  // namespace drumlo::ui
