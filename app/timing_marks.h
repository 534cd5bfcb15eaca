// Moments of the start-up and of the install step that the benchmarks read, each the
// first time it is reached. Only the benchmark's own build of the program (VELVOR_TIMING,
// bench/CMakeLists.txt) records them; in setup.exe each call is an empty inline function
// and compiles to nothing.
#pragma once

enum class TimingMark {
  kWinMain,          // the entry point reached: loading and the runtime's start done
  kClassRegistered,  // the main window's class registered (the first calls of user32)
  kMediaChecked,     // the media's folders looked at, before the main window
  kWindowCreated,    // CreateWindowExA of the main window returned
  kWindowShown,      // ShowWindow returned: the window is maximized on the screen
  kBackdropPainted,  // the first PaintBackdrop has ended
  kWizardStarted,    // the posted WM_USER has arrived
  kFirstPageInit,    // the component page's WM_INITDIALOG
  // The install step; those of a component are the first component's.
  kInstallBegins,        // InstallSelected called: the last page has closed
  kListingDone,          // the component's source folder listed
  kCopyDialogInit,       // its progress dialog's WM_INITDIALOG: the dialog and controls made
  kWorkerStarted,        // the worker's first step (WM_INITDIALOG started it)
  kCopyDialogShown,      // the dialog's WM_SHOWWINDOW
  kCopyDialogPainted,    // the dialog's first WM_ERASEBKGND: its first paint begins
  kWorkerEnded,          // the worker's files placed and its work folder gone
  kCopyDialogEnded,      // the worker's end taken by the dialog: EndDialog returned
  kCopyDialogDestroyed,  // the dialog's WM_DESTROY
  kCopyReturned,         // CopyComponentFiles returns: the worker has ended
  kRegistryWritten,      // the samples' value written
  kInstallEnds,          // InstallSelected returns
  kCompletionAsked,      // the completion message box called
  kCount
};

#ifdef VELVOR_TIMING
void RecordTimingMark(TimingMark mark);
#else
inline void RecordTimingMark(TimingMark) {}
#endif
