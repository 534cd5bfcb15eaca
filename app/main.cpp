#include <windows.h>

#include "app/main_window.h"
#include "install/held_entry.h"

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

// One setup at a time in a session: two would copy into the same folders at once. The
// name is per session, as the windows that a second start hands over to are.
const char kInstanceMutexName[] = "Local\\Brontavia.Velvorine.Setup";

// The running setup's current page (its progress dialog or message box, or the backdrop
// before the first page) to the front. The first one may not have made its window yet.
void BringRunningSetupForward() {
  HWND main = nullptr;
  for (int tries = 0; tries < 40 && !(main = FindWindowA(kMainClassName, nullptr)); ++tries)
    Sleep(50);
  if (!main) return;
  HWND page = GetLastActivePopup(main);
  if (IsIconic(page)) ShowWindow(page, SW_RESTORE);
  SetForegroundWindow(page);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR /*commandLine*/,
                   int showCommand) {
  // A drive without media (an empty card reader, a CD drive) fails as a missing path
  // does, with the program's own message, instead of the system's "no disk" box at each
  // look at it. Added to the flags inherited from the parent, which the call replaces:
  // SetErrorMode(0) reads them (GetErrorMode is missing before Vista).
  SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
  // Held until the process ends; the system closes it then.
  HANDLE instanceMutex = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
  bool another = instanceMutex && GetLastError() == ERROR_ALREADY_EXISTS;
  RestrictDllSearch();
  GuardAgainstRedirection();
  if (another) {
    BringRunningSetupForward();
    return 0;
  }
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
