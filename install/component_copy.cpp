#include <string.h>

#include <atomic>

#include "install/component_copy.h"

#include "app/busy_cursor.h"
#include "app/center_window.h"
#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "app/timing_marks.h"
#include "install/copy_question.h"
#include "install/file_placement.h"
#include "install/source_list.h"
#include "resources/resource.h"

namespace {

// Sent by the worker to the progress dialog, which asks the user and answers with the
// button pressed. lParam: the Question.
constexpr UINT kAskAboutFailure = WM_APP + 1;
// Posted by the worker to the progress dialog when a file's name waits in s_newestName and
// no such message is on its way. Posted, not sent: the worker does not wait for the
// dialog to repaint, which under Wine cost a third as much as a small file's copy. One at
// a time: a thread's posted messages are limited (10,000 by default), and a flood could
// also take the place of other messages.
constexpr UINT kShowFileName = WM_APP + 2;
// Sent by the worker to the progress dialog when the list has ended. Sent, not posted: a
// sent message is not queued behind the posted ones nor counted against their limit, so
// the end cannot be lost; the send fails only when the dialog has already gone.
constexpr UINT kCopyEnded = WM_APP + 3;

struct Question {
  const char* name;
  Failure failure;
};

// The worker of the copy in progress; only the user-interface thread touches it.
HANDLE s_worker = nullptr;
// Whether a file of the source folder was read-only when listed; set before the worker
// starts.
bool s_sourceMayBeReadOnly = true;
// The newest file's name (its place in the list) for the dialog to show, and whether a
// kShowFileName is on its way to it. The dialog clears the flag before it reads the name,
// so a name stored after that read is always followed by a message.
std::atomic<const char*> s_newestName{nullptr};
std::atomic<bool> s_namePosted{false};
// The name on the dialog's first line; the user-interface thread's.
const char* s_shownName = nullptr;
// When the first line last changed. A name is shown at most once a screen frame: faster
// than that no one can read it, and each change is a repaint that under Wine takes the
// window server away from the worker's copies.
DWORD s_shownAt = 0;
constexpr DWORD kNameInterval = 16;  // ms
constexpr UINT_PTR kNameTimer = 1;

// Waits until the worker has ended, handling messages meanwhile: the worker's texts and
// questions are sent to this thread's windows, so a plain wait would leave both threads
// waiting. A file still being copied after a Cancel shows the wait cursor. Returns the
// worker's exit code, the number of files it installed.
DWORD AwaitWorker() {
  if (!s_worker) return 0;
  if (WaitForSingleObject(s_worker, 0) == WAIT_TIMEOUT) {
    BusyCursor busy;
    // Only the worker's end ends the wait: the list is freed after it. Should the wait
    // itself fail, the worker is looked at again after a short wait.
    for (;;) {
      DWORD woken = MsgWaitForMultipleObjects(1, &s_worker, FALSE, INFINITE, QS_ALLINPUT);
      if (woken == WAIT_OBJECT_0 ||
          (woken != WAIT_OBJECT_0 + 1 && WaitForSingleObject(s_worker, 20) == WAIT_OBJECT_0))
        break;
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }
  DWORD installed = 0;
  GetExitCodeThread(s_worker, &installed);
  CloseHandle(s_worker);
  s_worker = nullptr;
  return installed;
}

const char* NextName(const char* name) { return name + strlen(name) + 1; }

const char* FirstFile(const char* list) {
  for (const char* name = list; *name; name = NextName(name))
    if (!IsDotEntry(name)) return name;
  return nullptr;
}

size_t DirLength() { return static_cast<size_t>(g_state.destNameSlot - g_state.destPath); }

// On the user-interface thread, in a buffer of its own: messageText may hold a question.
void ShowFileName(HWND dialog, const char* name) {
  s_shownName = name;
  char text[kTextSize];
  (void)FormatText(text, "Copying %s", name);  // a name fits whole
  SetDlgItemTextA(dialog, IDC_COPYFILE, text);
  s_shownAt = GetTickCount();
}

// Takes the name waiting in the slot (the flag cleared first: a name stored after the read
// brings its own message) and shows it.
void TakeNewestName(HWND dialog) {
  s_namePosted.store(false);
  ShowFileName(dialog, s_newestName.load());
}

// On the worker: name waits in the slot, and is posted unless a message is on its way.
void OfferFileName(HWND dialog, const char* name) {
  s_newestName.store(name);
  if (!s_namePosted.exchange(true) && !PostMessageA(dialog, kShowFileName, 0, 0))
    s_namePosted.store(false);  // the next name, or the end, shows it
}

// Installs the entry name: its source and destination paths are formed at the two slots.
Failure InstallFile(Placement& placement, const char* name) {
  if (!WriteAtSlot(g_state.destPath, kPathSize, g_state.destNameSlot, name))
    return {Reason::kPathTooLong, 0};
  if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.sourceNameSlot, name))
    return {Reason::kSourceTooLong, 0};
  return PlaceFile(placement, g_state.moduleDir, s_sourceMayBeReadOnly);
}

bool CopyCancelled() { return !g_state.copyDialog; }

// Asks the user, through the dialog, what to do about an entry that was not installed.
// A dialog that has gone answers Abort.
int Ask(HWND dialog, const char* name, const Failure& failure) {
  Question question = {name, failure};
  LRESULT answer = SendMessageA(dialog, kAskAboutFailure, 0, reinterpret_cast<LPARAM>(&question));
  return answer == IDRETRY || answer == IDIGNORE ? static_cast<int>(answer) : IDABORT;
}

void EndCopyDialog(HWND dialog) {
  g_state.copyDialog = nullptr;  // the worker's stop signal
  EndDialog(dialog, 1);
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
  s_sourceMayBeReadOnly = listing.anyReadOnly;
  s_newestName = nullptr;
  s_namePosted = false;
  s_shownName = nullptr;

  DialogBoxParamA(g_state.instance, MAKEINTRESOURCEA(IDD_COPYING), parent, CopyProgressProc,
                  0);
  g_state.copyDialog = nullptr;  // however the dialog ended, the worker must stop
  DWORD installed = AwaitWorker();

  g_state.fileList = nullptr;
  HeapFree(GetProcessHeap(), 0, listing.names);
  if (appended) *g_state.destNameSlot = '\0';  // the directory with its backslash only
  // Passed over, failed, or left behind by a Cancel.
  g_state.filesNotInstalled += listing.filesFound - static_cast<int>(installed);
  RecordTimingMark(TimingMark::kCopyReturned);
  return 1;
}

INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      g_state.copyDialog = dialog;
      CenterWindow(dialog);
      // The template's texts are placeholders: the first file and the destination are in
      // place before the dialog appears, and the destination stays for the component.
      if (const char* first = FirstFile(g_state.fileList))
        ShowFileName(dialog, first);
      else
        SetDlgItemTextA(dialog, IDC_COPYFILE, "");
      (void)TextCopy(g_state.messageText, "to ");
      char* cut = g_state.destNameSlot - 1;  // without the backslash the copy appended
      char kept = *cut;
      *cut = '\0';
      (void)TextAppend(g_state.messageText, g_state.destPath);
      *cut = kept;
      SetDlgItemTextA(dialog, IDC_COPYDEST, g_state.messageText);
      s_worker = CreateThread(nullptr, 0, CopyWorker, nullptr, 0, nullptr);
      return TRUE;
    }
    case kShowFileName: {
      // Too soon after the last name: this one is taken when the frame has passed, and
      // until then the worker posts no other.
      DWORD since = GetTickCount() - s_shownAt;
      if (since < kNameInterval && SetTimer(dialog, kNameTimer, kNameInterval - since, nullptr))
        return TRUE;
      TakeNewestName(dialog);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam != kNameTimer) return FALSE;
      KillTimer(dialog, kNameTimer);
      TakeNewestName(dialog);
      return TRUE;
    case kCopyEnded:
      KillTimer(dialog, kNameTimer);
      // The last file's name, should its message still be on its way, before the end.
      if (const char* newest = s_newestName.load(); newest && newest != s_shownName)
        ShowFileName(dialog, newest);
      EndCopyDialog(dialog);
      return TRUE;
    case kAskAboutFailure: {
      // The worker waits for the answer meanwhile. Once the dialog is closing, no one is
      // asked: the worker stops.
      const Question* q = reinterpret_cast<const Question*>(lParam);
      // The first file may fail before the dialog has been shown: the question stands over
      // it, not over an owner still hidden. A dialog hidden by a Cancel stays hidden.
      int answer = IDABORT;
      if (g_state.copyDialog) {
        ShowWindow(dialog, SW_SHOW);
        answer = AskAboutFailure(dialog, q->name, q->failure);
      }
      if (!g_state.copyDialog) answer = IDABORT;  // cancelled while the question was up
      if (answer == IDABORT) EndCopyDialog(dialog);
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, answer);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndCopyDialog(dialog);
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

namespace {

// Installs the listed files until the list ends (finished) or the dialog has been closed;
// the number installed.
DWORD InstallListed(Placement& placement, bool* finished) {
  DWORD installed = 0;
  bool named = true;  // the dialog named the first file before it appeared
  for (const char* name = g_state.fileList; name && *name; name = NextName(name)) {
    HWND dialog = g_state.copyDialog;
    if (!dialog) return installed;  // cancelled: the dialog is closing already
    if (IsDotEntry(name)) continue;
    // The second line names the directory all along.
    if (!named) OfferFileName(dialog, name);
    named = false;
    for (;;) {
      Failure failure = InstallFile(placement, name);
      if (failure.reason == Reason::kNone) {
        ++installed;
        break;
      }
      int answer = Ask(dialog, name, failure);
      if (answer == IDIGNORE) break;
      if (answer == IDABORT) return installed;  // the dialog has ended itself
    }
  }
  *finished = true;
  return installed;
}

}  // namespace

DWORD WINAPI CopyWorker(LPVOID) {
  RecordTimingMark(TimingMark::kWorkerStarted);
  Placement placement;
  BeginPlacement(placement, g_state.destPath, DirLength(), CopyCancelled);
  bool finished = false;
  DWORD installed = InstallListed(placement, &finished);
  EndPlacement(placement);
  RecordTimingMark(TimingMark::kWorkerEnded);
  HWND dialog = g_state.copyDialog;
  if (finished && dialog) SendMessageA(dialog, kCopyEnded, 0, 0);
  return installed;
}
