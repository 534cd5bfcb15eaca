#include "app/main_window.h"

#include "app/ansi_text.h"
#include "app/backdrop.h"
#include "app/busy_cursor.h"
#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/module_dir.h"
#include "app/path_text.h"
#include "app/system_text.h"
#include "app/timing_marks.h"
#include "app/wizard_run.h"
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

// The wizard runs once: anyone may post WM_USER, and it must not start again inside
// itself.
bool s_wizardStarted = false;

// Whether the media can be read from where the program was started, and are there at
// all; when not, the wizard does not start and the user is told why.
bool s_moduleNameWhole = true;
MediaCheck s_media = {MediaFound::kPresent, nullptr, 0};

const char kFolderTooLongText[] =
    "Setup cannot run from this folder, because its path is too long:\n\n%s\n\n"
    "Move the setup files to a folder with a shorter path and run setup again.";

void ShowFolderTooLong(HWND window) {
  // The folder as far as it is known; a cut name is marked as such. A path buffer's text
  // with the words around it always fits the text buffers whole.
  static_assert(kPathSize + sizeof "..." + sizeof kFolderTooLongText <= kTextSize,
                "the message fits");
  (void)TextCopy(g_state.formatText, g_state.moduleDir);
  if (!s_moduleNameWhole) (void)TextAppend(g_state.formatText, "...");
  (void)FormatText(g_state.messageText, kFolderTooLongText, g_state.formatText);
  MessageBoxA(window, g_state.messageText, kMainWindowTitle, MB_OK | MB_ICONERROR);
}

const char kMediaMissingText[] =
    "Setup cannot find the files that it installs. They belong beside setup.exe, in the "
    "folders plugin, samples and help, and none of them is in the folder it looked in:\n\n"
    "%s\n\nIf setup.exe was opened from inside a zip file, extract all the files first, "
    "then run setup.exe from the extracted folder.";

void ShowMediaMissing(HWND window) {
  static_assert(kPathSize + sizeof kMediaMissingText <= kTextSize, "the message fits");
  (void)FormatText(g_state.messageText, kMediaMissingText, g_state.moduleDir);
  MessageBoxA(window, g_state.messageText, kMainWindowTitle, MB_OK | MB_ICONERROR);
}

const char kFolderNotReadText[] =
    "Setup cannot read the files that it installs from this folder:\n\n%s\n\n";

// Names the source folder that could not be read, with the system's reason.
void ShowFolderNotRead(HWND window) {
  static_assert(kPathSize + sizeof kFolderNotReadText + 256 <= kTextSize, "the message fits");
  char folder[kPathSize];
  // The folder's name fits: its search pattern did.
  if (!SourceFolderName(*s_media.unreadable, folder)) (void)TextCopy(folder, g_state.moduleDir);
  (void)FormatText(g_state.messageText, kFolderNotReadText, folder);
  AppendSystemText(g_state.messageText, s_media.error);
  MessageBoxA(window, g_state.messageText, kMainWindowTitle, MB_OK | MB_ICONERROR);
}

}  // namespace

int InitInstance(HINSTANCE instance, int /*showCommand*/) {
  g_state.instance = instance;
  s_moduleNameWhole = CaptureModuleDirectory(instance);
  s_media = {MediaFound::kTooLong, nullptr, 0};
  if (s_moduleNameWhole) s_media = CheckSourceFolders();
  HWND window = CreateWindowExA(0, kMainClassName, kMainWindowTitle, WS_POPUP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 0;
  // The backdrop always covers the screen, whatever the caller asked for.
  ShowWindow(window, SW_SHOWMAXIMIZED);
  RecordTimingMark(TimingMark::kWindowShown);
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
      if (s_wizardStarted) return 0;
      s_wizardStarted = true;
      // A folder the code page cannot name is said (by the refusal) before the media are
      // looked for in it.
      if (s_media.found == MediaFound::kTooLong) {
        ShowFolderTooLong(window);
      } else if (!RefuseModuleFolderNotHeld(window)) {
        switch (s_media.found) {
          case MediaFound::kPresent:
            RunWizard(window);  // which keeps the window while it runs (WizardRun)
            break;
          case MediaFound::kAbsent:
            ShowMediaMissing(window);
            break;
          case MediaFound::kUnreadable:
            ShowFolderNotRead(window);
            break;
          case MediaFound::kTooLong:
            break;  // said above
        }
      }
      PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      // Closing the window mid-install (Alt+F4, the task list) would drop the steps still
      // to come while the wizard returns through it; the wizard closes it when done.
      if (WizardRun::InProgress()) return 0;
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_QUERYENDSESSION:
      // Asked before the session ends: not in the middle of an install.
      return !WizardRun::InProgress();
    case WM_SETCURSOR:
      if (BusyCursor::Shown() && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
      }
      return DefWindowProcA(window, message, wParam, lParam);
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
