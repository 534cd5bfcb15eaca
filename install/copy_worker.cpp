// The worker of one component's copy: it installs the listed files one by one through the
// component's placement, offers each name to the progress dialog and asks the dialog
// about each file that was not installed, until the list ends or the dialog has closed.
#include "install/copy_session.h"

#include "app/installer_state.h"
#include "app/path_text.h"
#include "app/timing_marks.h"
#include "install/source_list.h"

namespace {

// Installs the entry name: its source and destination paths are formed at the two slots.
Failure InstallFile(Placement& placement, const CopySession& s, const char* name) {
  if (!WriteAtSlot(g_state.destPath, kPathSize, g_state.destNameSlot, name))
    return {Reason::kPathTooLong, 0};
  if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.sourceNameSlot, name))
    return {Reason::kSourceTooLong, 0};
  return PlaceFile(placement, g_state.moduleDir, s.sourceMayBeReadOnly);
}

bool CopyCancelled() { return !g_state.copyDialog; }

// Asks the user, through the dialog, what to do about an entry that was not installed.
// A dialog that has gone answers Abort.
int Ask(HWND dialog, const char* name, const Failure& failure) {
  Question question = {name, failure};
  LRESULT answer = SendMessageA(dialog, kAskAboutFailure, 0, reinterpret_cast<LPARAM>(&question));
  return answer == IDRETRY || answer == IDIGNORE ? static_cast<int>(answer) : IDABORT;
}

// Installs the listed files until the list ends (finished) or the dialog has been closed;
// the number installed.
DWORD InstallListed(Placement& placement, CopySession& s, bool* finished) {
  DWORD installed = 0;
  for (const char* name = g_state.fileList; name && *name; name = NextName(name)) {
    HWND dialog = g_state.copyDialog;
    if (!dialog) return installed;  // cancelled: the dialog is closing already
    if (IsDotEntry(name)) continue;
    // Shown on the dialog's next tick (the first one already is); the second line names
    // the directory all along.
    s.newestName.store(name);
    for (unsigned left = placement.copiesLeft;;) {
      Failure failure = InstallFile(placement, s, name);
      if (failure.reason == Reason::kNone) {
        // One of its copies left to the next restart counts it as not installed: the
        // last message must not say that all went well.
        if (placement.copiesLeft == left) ++installed;
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

DWORD WINAPI CopyWorker(LPVOID parameter) {
  RecordTimingMark(TimingMark::kWorkerStarted);
  CopySession& session = *static_cast<CopySession*>(parameter);
  Placement placement;
  size_t dirLength = static_cast<size_t>(g_state.destNameSlot - g_state.destPath);
  BeginPlacement(placement, g_state.destPath, dirLength, CopyCancelled);
  bool finished = false;
  DWORD installed = InstallListed(placement, session, &finished);
  EndPlacement(placement);
  RecordTimingMark(TimingMark::kWorkerEnded);
  HWND dialog = g_state.copyDialog;
  if (finished && dialog) SendMessageA(dialog, kCopyEnded, 0, 0);
  return installed;
}
