#include "app/main_window.h"

#include "app/backdrop.h"
#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "wizard/wizard.h"

const char kMainClassName[] = "VelvorWClass";
const char kMainWindowTitle[] = "Velvorine Install";

int InitApplication(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.style = 0;
  wc.lpfnWndProc = MainWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kMainClassName;
  return RegisterClassA(&wc);
}

namespace {

// Records the module's directory, with its trailing backslash, in moduleDir and points
// moduleNameSlot just behind it.
void CaptureModuleDirectory(HINSTANCE instance) {
  GetModuleFileNameA(instance, g_state.moduleDir, kPathSize);
  // Older systems leave a truncated name unterminated.
  TextTerminate(g_state.moduleDir, kPathSize);
  char* slot = AfterLastBackslash(g_state.moduleDir, AnsiLeadBytes());
  g_state.moduleNameSlot = slot ? slot : g_state.moduleDir;
  *g_state.moduleNameSlot = '\0';
}

}  // namespace

int InitInstance(HINSTANCE instance, int /*showCommand*/) {
  g_state.instance = instance;
  CaptureModuleDirectory(instance);
  HWND window = CreateWindowExA(0, kMainClassName, kMainWindowTitle, WS_POPUP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 0;
  // The backdrop always covers the screen, whatever the caller asked for.
  ShowWindow(window, SW_SHOWMAXIMIZED);
  UpdateWindow(window);
  return 1;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      // Start the wizard only once the window is on the screen.
      PostMessageA(window, WM_USER, 0, 0);
      return 0;
    case WM_USER:
      RunWizard(window);
      PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_PAINT:
      PaintBackdrop(window);
      return 0;
    case WM_DESTROY:
      if (g_state.titleBitmap) {
        DeleteObject(g_state.titleBitmap);
        g_state.titleBitmap = nullptr;
      }
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
