// Moments of the start-up that the start-up benchmark reads. Only the benchmark's own
// build of the program (VELVOR_TIMING, bench/CMakeLists.txt) records them; in setup.exe
// each call is an empty inline function and compiles to nothing.
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
  kCount
};

#ifdef VELVOR_TIMING
void RecordTimingMark(TimingMark mark);
#else
inline void RecordTimingMark(TimingMark) {}
#endif
