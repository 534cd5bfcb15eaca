#include <windows.h>

#include "app/main_window.h"

namespace {

// Installers are run from download folders full of other people's DLLs: load system
// DLLs from System32 only. Looked up at run time, as older systems lack the call.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return;
  auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set) set(0x00000800);  // LOAD_LIBRARY_SEARCH_SYSTEM32
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR /*commandLine*/,
                   int showCommand) {
  RestrictDllSearch();
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
