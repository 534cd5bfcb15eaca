#include <windows.h>

#include "main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR /*commandLine*/,
                   int showCommand) {
  if (!previous && !InitApplication(instance)) return 0;
  if (!InitInstance(instance, showCommand)) return 0;
  MSG msg = {};
  // -1 (an error) ends the loop too, rather than spinning on it.
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
