// What the UI test asks of the probe library that it loads into the window program: what only
// code inside that process can do (under Wine a menu cannot be read from another process, and
// a drop's file list is memory of the receiving process). The request travels in a named file
// mapping, "Local\DrumloUiProbe<process id>", that the test creates before the load.
#pragma once

#include <windows.h>

#include <cstdint>

namespace drumlo::ui {

inline constexpr wchar_t kProbeMappingPrefix[] = L"Local\\DrumloUiProbe";

struct ProbeMenuItem {
  std::int32_t menu;    // index of its menu in the menu bar
  std::uint32_t id;     // 0 for a separator
  std::uint32_t state;  // GetMenuState: MF_GRAYED, MF_SEPARATOR...
  wchar_t caption[80];
};

enum class ProbeAction : std::int32_t {
  kReadMenu = 1,   // fills `items` from the menu bar of `window`
  kDropFiles = 2,  // posts WM_DROPFILES to `window` with `paths`
  kReadUse = 3,    // fills `use` with what the process holds
};

// Read inside the process: Wine answers these only for the process itself.
struct ProbeUse {
  std::uint64_t private_bytes;
  std::uint32_t handles;
  std::uint32_t gdi_objects;
  std::uint32_t user_objects;
};

struct ProbeRequest {
  ProbeAction action;
  std::int32_t done;  // set by the probe
  std::uint64_t window;
  std::int32_t item_count;
  ProbeMenuItem items[32];
  wchar_t paths[4096];  // each ended by NUL, the list by one more
  ProbeUse use;
};

}  // namespace drumlo::ui
