// The copy of one component, run as a session: the source folder listed, the progress
// dialog opened over the session (the dialog starts the worker), and, once the dialog has
// ended, the wait for the worker before the list and the directory are given back.
#include <string.h>

#include "install/component_copy.h"

#include "app/busy_cursor.h"
#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "app/timing_marks.h"
#include "install/copy_question.h"
#include "install/copy_session.h"
#include "install/source_list.h"
#include "resources/resource.h"

namespace {

// Waits until the worker has ended, handling messages meanwhile: the worker's texts and
// questions are sent to this thread's windows, so a plain wait would leave both threads
// waiting. A file still being copied after a Cancel shows the wait cursor. Returns the
// worker's exit code, the number of files it installed.
DWORD AwaitWorker(HANDLE worker) {
  if (!worker) return 0;
  if (WaitForSingleObject(worker, 0) == WAIT_TIMEOUT) {
    BusyCursor busy;
    // Only the worker's end ends the wait: the list is freed after it. Should the wait
    // itself fail, the worker is looked at again after a short wait.
    for (;;) {
      DWORD woken = MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT);
      if (woken == WAIT_OBJECT_0 ||
          (woken != WAIT_OBJECT_0 + 1 && WaitForSingleObject(worker, 20) == WAIT_OBJECT_0))
        break;
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }
  DWORD installed = 0;
  GetExitCodeThread(worker, &installed);
  CloseHandle(worker);
  return installed;
}

}  // namespace

int CopyComponentFiles(HWND parent, const char*, const char* sourcePattern, char* directory) {
  SourceList listing = ListSourceFolder(sourcePattern);
  if (listing.error != ERROR_SUCCESS) {
    ReportUnreadableFolder(parent, listing.error);
    ++g_state.foldersNotRead;  // its files cannot be counted
    return 1;
  }
  if (!listing.names) return 1;  // nothing to copy: no dialog, the directory left as it is
  RecordTimingMark(TimingMark::kListingDone);

  // The slot goes behind a backslash appended to the directory. When not even that fits,
  // the slot lies at the buffer's end, so that every name is refused as too long and
  // named to the user rather than passed over.
  size_t chosenLength = strlen(directory);
  bool appended = TextAppend(directory, kPathSize, "\\");
  g_state.sourceNameSlot = AfterLastBackslash(g_state.moduleDir, AnsiLeadBytes());
  g_state.destPath = directory;
  g_state.destNameSlot = directory + chosenLength + 1;
  g_state.fileList = listing.names;

  CopySession session;
  session.sourceMayBeReadOnly = listing.anyReadOnly;
  DialogBoxParamA(g_state.instance, MAKEINTRESOURCEA(IDD_COPYING), parent, CopyProgressProc,
                  reinterpret_cast<LPARAM>(&session));
  g_state.copyDialog = nullptr;  // however the dialog ended, the worker must stop
  DWORD installed = AwaitWorker(session.worker);

  g_state.fileList = nullptr;
  HeapFree(GetProcessHeap(), 0, listing.names);
  if (appended) *g_state.destNameSlot = '\0';  // the directory with its backslash only
  // Passed over, failed, or left behind by a Cancel.
  g_state.filesNotInstalled += listing.filesFound - static_cast<int>(installed);
  RecordTimingMark(TimingMark::kCopyReturned);
  return 1;
}
