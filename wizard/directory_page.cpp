#include "installer_state.h"
#include "path_text.h"
#include "resource.h"
#include "wizard.h"

// UNFINISHED: Browse does nothing yet.

int ShowDirectoryPage(HWND parent, char* directory, const char* displayName,
                      const char* markerFile) {
  g_state.pageDirectory = directory;
  g_state.pageDisplayName = displayName;
  g_state.pageMarkerFile = markerFile;
  return static_cast<int>(DialogBoxParamA(g_state.instance, MAKEINTRESOURCEA(IDD_DIRECTORY),
                                          parent, DirectoryPageProc, 0));
}

INT_PTR CALLBACK DirectoryPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      LoadStringA(g_state.instance, IDS_DIRPROMPT, g_state.messageText, kTextSize);
      FormatText(g_state.formatText, kTextSize, g_state.messageText, g_state.pageDisplayName);
      SetDlgItemTextA(dialog, IDC_PROMPT, g_state.formatText);
      SetDlgItemTextA(dialog, IDC_DIRECTORY, g_state.pageDirectory);
      CenterWindow(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          GetDlgItemTextA(dialog, IDC_DIRECTORY, g_state.pageDirectory, kPathSize);
          EndDialog(dialog, kPageNext);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, kPageCancel);
          return TRUE;
        case IDC_BACK:
          EndDialog(dialog, kPageBack);
          return TRUE;
        case IDC_BROWSE:
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}
