// The window program: fmMain is its start-up object, and the process lives as long as it does.
#include <windows.h>

#include <commctrl.h>

#include "fm_main.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // Static: Exit ends the process without unwinding, so the window is never destroyed.
  static drumlo::FmMain window;
  if (!window.Create(instance, show_command)) return 1;
  return window.RunMessageLoop();
}
