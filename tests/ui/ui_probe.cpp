// The probe library: loaded into the window program by a thread that the UI test starts there,
// it answers the request in the file mapping from its DllMain and declines to stay loaded, so
// that every load is a fresh request. The calls it makes take no loader lock of their own.
#include <windows.h>

#include <shlobj.h>  // DROPFILES

#include <cstdint>
#include <cstring>
#include <string>

#include "process_use.h"
#include "ui_probe.h"

namespace {

using drumlo::ui::ProbeAction;
using drumlo::ui::ProbeRequest;

void ReadMenu(ProbeRequest& request) {
  HMENU bar = GetMenu(reinterpret_cast<HWND>(request.window));
  request.item_count = 0;
  const int menus = GetMenuItemCount(bar);
  for (int m = 0; m < menus; ++m) {
    HMENU menu = GetSubMenu(bar, m);
    const int items = GetMenuItemCount(menu);
    for (int k = 0; k < items && request.item_count < 32; ++k) {
      drumlo::ui::ProbeMenuItem& item = request.items[request.item_count++];
      item.menu = m;
      item.id = GetMenuItemID(menu, k);
      item.state = GetMenuState(menu, static_cast<UINT>(k), MF_BYPOSITION);
      GetMenuStringW(menu, static_cast<UINT>(k), item.caption, 80, MF_BYPOSITION);
    }
  }
}

// The drop a file manager makes: a DROPFILES block with wide paths, freed by the receiver.
void DropFiles(const ProbeRequest& request) {
  std::size_t length = 0;
  while (request.paths[length] != L'\0' || request.paths[length + 1] != L'\0')
    ++length;
  const std::size_t list_bytes = (length + 2) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list_bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), request.paths, list_bytes);
  GlobalUnlock(memory);
  PostMessageW(reinterpret_cast<HWND>(request.window), WM_DROPFILES,
               reinterpret_cast<WPARAM>(memory), 0);
}

void ReadUse(ProbeRequest& request) {
  const drumlo::ProcessUse use = drumlo::MeasureProcess();
  HANDLE self = GetCurrentProcess();
  request.use = {static_cast<std::uint64_t>(use.memory_kb) * 1024,
                 static_cast<std::uint32_t>(use.handles), GetGuiResources(self, GR_GDIOBJECTS),
                 GetGuiResources(self, GR_USEROBJECTS)};
}

void Answer() {
  const std::wstring name =
      drumlo::ui::kProbeMappingPrefix + std::to_wstring(GetCurrentProcessId());
  HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
  if (mapping == nullptr) return;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeRequest))) {
    auto& request = *static_cast<ProbeRequest*>(view);
    if (request.action == ProbeAction::kReadMenu) ReadMenu(request);
    if (request.action == ProbeAction::kDropFiles) DropFiles(request);
    if (request.action == ProbeAction::kReadUse) ReadUse(request);
    request.done = 1;
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  Answer();
  return FALSE;  // unloaded at once: the next load answers the next request
}
