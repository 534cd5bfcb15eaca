// The program stays while the wizard runs: its pages, the install step and its messages
// are owned by the main window and return into it, so a close or a quit request must not
// end it half-way.
#pragma once

class WizardRun {
 public:
  // While it lives: the main window ignores WM_CLOSE (Alt+F4, the system menu, the task
  // list) and refuses to let the session end (WM_QUERYENDSESSION), and a WM_QUIT taken
  // from this thread's queue by any loop (a page, a message box, the wait for the copy
  // worker) becomes WM_NULL, as it would end that loop and drop the steps after it.
  WizardRun();
  ~WizardRun();
  WizardRun(const WizardRun&) = delete;
  WizardRun& operator=(const WizardRun&) = delete;

  static bool InProgress();
};
