// The progress dialog of one component's copy: it names the file that the worker is at,
// on a timer, asks the worker's questions, and ends at Cancel or when the worker says the
// list has ended.
#include "install/copy_session.h"

#include "app/center_window.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/copy_question.h"
#include "install/source_list.h"
#include "resources/resource.h"

namespace {

// The newest name is shown ten times a second: often enough to look lively, and each
// change is a repaint whose calls to the window server (under Wine, the same server that
// the worker's every file call goes through) the worker waits behind. The worker only
// writes the name: a message per name, or per frame, cost the copy more than the copies'
// own share of the server.
constexpr DWORD kNameInterval = 100;  // ms
constexpr UINT_PTR kNameTimer = 1;

CopySession& SessionOf(HWND dialog) {
  return *reinterpret_cast<CopySession*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

const char* FirstFile(const char* list) {
  for (const char* name = list; *name; name = NextName(name))
    if (!IsDotEntry(name)) return name;
  return nullptr;
}

// In a buffer of its own: messageText may hold a question.
void ShowFileName(HWND dialog, CopySession& s, const char* name) {
  s.shownName = name;
  char text[kTextSize];
  (void)FormatText(text, "Copying %s", name);  // a name fits whole
  SetDlgItemTextA(dialog, IDC_COPYFILE, text);
}

// The worker's newest name, unless it is on the dialog already.
void ShowNewestName(HWND dialog, CopySession& s) {
  if (const char* newest = s.newestName.load(); newest && newest != s.shownName)
    ShowFileName(dialog, s, newest);
}

// The template's texts are placeholders: the first file and the destination are in place
// before the dialog appears, and the destination stays for the component. Then the worker
// starts, and the timer that shows its names. (Should no timer be had, the first and the
// last name are still shown.)
void StartCopy(HWND dialog, CopySession& s) {
  g_state.copyDialog = dialog;
  CenterWindow(dialog);
  if (const char* first = FirstFile(g_state.fileList))
    ShowFileName(dialog, s, first);
  else
    SetDlgItemTextA(dialog, IDC_COPYFILE, "");
  (void)TextCopy(g_state.messageText, "to ");
  char* cut = g_state.destNameSlot - 1;  // without the backslash the copy appended
  char kept = *cut;
  *cut = '\0';
  (void)TextAppend(g_state.messageText, g_state.destPath);
  *cut = kept;
  SetDlgItemTextA(dialog, IDC_COPYDEST, g_state.messageText);
  s.worker = CreateThread(nullptr, 0, CopyWorker, &s, 0, nullptr);
  SetTimer(dialog, kNameTimer, kNameInterval, nullptr);
}

void EndCopyDialog(HWND dialog) {
  KillTimer(dialog, kNameTimer);
  g_state.copyDialog = nullptr;  // the worker's stop signal
  EndDialog(dialog, 1);
}

// The list has ended: the last file's name, should the timer not have shown it yet, is
// shown before the end.
void FinishCopy(HWND dialog, CopySession& s) {
  ShowNewestName(dialog, s);
  EndCopyDialog(dialog);
}

// The worker waits for the answer meanwhile. Once the dialog is closing, no one is asked:
// the worker stops. The first file may fail before the dialog has been shown: the
// question stands over it, not over an owner still hidden; a dialog hidden by a Cancel
// stays hidden.
int AskForWorker(HWND dialog, const Question& q) {
  int answer = IDABORT;
  if (g_state.copyDialog) {
    ShowWindow(dialog, SW_SHOW);
    answer = AskAboutFailure(dialog, q.name, q.failure);
  }
  if (!g_state.copyDialog) answer = IDABORT;  // cancelled while the question was up
  if (answer == IDABORT) EndCopyDialog(dialog);
  return answer;
}

}  // namespace

INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      StartCopy(dialog, *reinterpret_cast<CopySession*>(lParam));
      return TRUE;
    case WM_TIMER:
      if (wParam != kNameTimer) return FALSE;
      ShowNewestName(dialog, SessionOf(dialog));
      return TRUE;
    case kCopyEnded:
      FinishCopy(dialog, SessionOf(dialog));
      return TRUE;
    case kAskAboutFailure:
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT,
                        AskForWorker(dialog, *reinterpret_cast<const Question*>(lParam)));
      return TRUE;
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
