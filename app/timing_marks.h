// Moments of the start-up and of the install step that the benchmarks read, each the
// first time it is reached. Only the benchmark's own build of the program (VELVOR_TIMING,
// bench/CMakeLists.txt) records them; in setup.exe each call is an empty inline function
// and compiles to nothing.
#pragma once

enum class TimingMark {
  kWindowShown,  // start-up: the main window is maximized on the screen
  // The install step; those of a component are the first component's.
  kInstallBegins,   // InstallSelected called: the last page has closed
  kListingDone,     // the component's source folder listed
  kWorkerStarted,   // the worker's first step: the progress dialog is up and started it
  kWorkerEnded,     // the worker's files placed and its work folder gone
  kCopyReturned,    // CopyComponentFiles returns: the dialog closed and the worker ended
  kInstallEnds,     // InstallSelected returns
  kCount
};

#ifdef VELVOR_TIMING
void RecordTimingMark(TimingMark mark);
#else
inline void RecordTimingMark(TimingMark) {}
#endif
