// The progress dialog of one component's copy: it names the files that the worker offers,
// at most once a screen frame, asks the worker's questions, and ends at Cancel or when the
// worker says the list has ended.
#include "install/copy_session.h"

#include "app/center_window.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/copy_question.h"
#include "install/source_list.h"
#include "resources/resource.h"

namespace {

// A name is shown at most once a screen frame: faster than that no one can read it, and
// each change is a repaint that under Wine takes the window server away from the worker's
// copies.
constexpr DWORD kNameInterval = 16;  // ms
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
  s.shownAt = GetTickCount();
}

// Takes the name waiting in the slot (the flag cleared first: a name stored after the read
// brings its own message) and shows it.
void TakeNewestName(HWND dialog, CopySession& s) {
  s.namePosted.store(false);
  ShowFileName(dialog, s, s.newestName.load());
}

// The template's texts are placeholders: the first file and the destination are in place
// before the dialog appears, and the destination stays for the component. Then the worker
// starts.
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
}

// Too soon after the last name, the newest is taken when the frame has passed, and until
// then the worker posts no other.
void ShowNameWhenDue(HWND dialog, CopySession& s) {
  DWORD since = GetTickCount() - s.shownAt;
  if (since >= kNameInterval || !SetTimer(dialog, kNameTimer, kNameInterval - since, nullptr))
    TakeNewestName(dialog, s);
}

void EndCopyDialog(HWND dialog) {
  g_state.copyDialog = nullptr;  // the worker's stop signal
  EndDialog(dialog, 1);
}

// The list has ended: the last file's name, should its message still be on its way, is
// shown before the end.
void FinishCopy(HWND dialog, CopySession& s) {
  KillTimer(dialog, kNameTimer);
  if (const char* newest = s.newestName.load(); newest && newest != s.shownName)
    ShowFileName(dialog, s, newest);
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
    case kShowFileName:
      ShowNameWhenDue(dialog, SessionOf(dialog));
      return TRUE;
    case WM_TIMER:
      if (wParam != kNameTimer) return FALSE;
      KillTimer(dialog, kNameTimer);
      TakeNewestName(dialog, SessionOf(dialog));
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
