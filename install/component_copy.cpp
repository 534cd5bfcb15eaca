#include <string.h>

#include "install/component_copy.h"

#include "app/center_window.h"
#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "resources/resource.h"

namespace {

// The worker of the copy in progress; only the user-interface thread touches it.
HANDLE s_worker = nullptr;
// Appends name and its terminator to the list at used, doubling the block while it is
// too small. The last byte of the block stays free for the empty name that ends the
// list. False when the heap cannot give a larger block (the old one is kept).
bool AppendName(char** list, size_t* size, size_t* used, const char* name) {
  while (!WriteAtSlot(*list, *size - 1, *list + *used, name)) {
    void* larger = HeapReAlloc(GetProcessHeap(), 0, *list, *size * 2);
    if (!larger) return false;
    *list = static_cast<char*>(larger);
    *size *= 2;
  }
  *used += strlen(name) + 1;
  return true;
}

// Waits until the worker has ended, handling messages meanwhile: the worker's texts are
// sent to this thread's windows, so a plain wait would leave both threads waiting.
void AwaitWorker() {
  if (!s_worker) return;
  bool quit = false;
  WPARAM quitCode = 0;
  while (MsgWaitForMultipleObjects(1, &s_worker, FALSE, INFINITE, QS_ALLINPUT) ==
         WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;  // for the main loop, once the worker has gone
        quitCode = msg.wParam;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  CloseHandle(s_worker);
  s_worker = nullptr;
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

}  // namespace

char* ListSourceFolder(const char* sourcePattern) {
  if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.moduleNameSlot, sourcePattern))
    return nullptr;
  size_t size = kFileListStart, used = 0;
  char* list = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
  if (!list) return nullptr;

  bool whole = true;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(g_state.moduleDir, &found);
  while (search != INVALID_HANDLE_VALUE) {
    found.cFileName[MAX_PATH - 1] = '\0';
    if (!AppendName(&list, &size, &used, found.cFileName)) whole = false;
    if (!whole || !FindNextFileA(search, &found)) {
      FindClose(search);
      search = INVALID_HANDLE_VALUE;
    }
  }
  list[used] = '\0';
  if (!whole || list[0] == '\0') {
    HeapFree(GetProcessHeap(), 0, list);
    return nullptr;
  }
  return list;
}

int CopyComponentFiles(HWND parent, const char*, const char* sourcePattern, char* directory) {
  char* list = ListSourceFolder(sourcePattern);
  if (!list) return 1;  // nothing to copy: no dialog, the directory left as it is

  // With no room for a backslash and a name behind the directory, no file could be
  // copied there.
  size_t chosenLength = strlen(directory);
  if (!TextAppend(directory, kPathSize, "\\")) {
    HeapFree(GetProcessHeap(), 0, list);
    return 1;
  }
  g_state.sourceNameSlot = AfterLastBackslash(g_state.moduleDir, AnsiLeadBytes());
  g_state.destPath = directory;
  g_state.destNameSlot = directory + chosenLength + 1;
  g_state.fileList = list;

  DialogBoxParamA(g_state.instance, MAKEINTRESOURCEA(IDD_COPYING), parent, CopyProgressProc,
                  0);
  g_state.copyDialog = nullptr;  // however the dialog ended, the worker must stop
  AwaitWorker();

  g_state.fileList = nullptr;
  HeapFree(GetProcessHeap(), 0, list);
  *g_state.destNameSlot = '\0';  // the directory with its backslash, no file name
  return 1;
}

INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      g_state.copyDialog = dialog;
      CenterWindow(dialog);
      s_worker = CreateThread(nullptr, 0, CopyWorker, nullptr, 0, nullptr);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          g_state.copyDialog = nullptr;
          EndDialog(dialog, 1);
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

DWORD WINAPI CopyWorker(LPVOID) {
  const char* name = g_state.fileList;
  while (name && *name) {
    HWND dialog = g_state.copyDialog;
    if (!dialog) return 0;  // cancelled: the dialog is closing already

    // Names and directories are path-sized, so both lines fit the text buffer whole.
    if (FormatText(g_state.messageText, "Copying %s", name))
      SetDlgItemTextA(dialog, IDC_COPYFILE, g_state.messageText);
    // The full destination, built here so that it is right even for a name that does
    // not fit behind the directory.
    *g_state.destNameSlot = '\0';
    if (FormatText(g_state.messageText, "to %s", g_state.destPath) &&
        TextAppend(g_state.messageText, name))
      SetDlgItemTextA(dialog, IDC_COPYDEST, g_state.messageText);

    // A name that would not fit either path is passed over like a failed copy.
    if (WriteAtSlot(g_state.moduleDir, kPathSize, g_state.sourceNameSlot, name) &&
        WriteAtSlot(g_state.destPath, kPathSize, g_state.destNameSlot, name))
      CopyFileA(g_state.moduleDir, g_state.destPath, FALSE);

    name += strlen(name) + 1;
    if (!g_state.fileList) break;
  }
  if (HWND dialog = g_state.copyDialog) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  return 0;
}
