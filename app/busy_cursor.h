// The wait cursor over the backdrop while the program is busy with nothing on the screen
// to show for it (a file still being copied after a Cancel).
#pragma once

class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

  // Whether the main window is to show the wait cursor (it asks on WM_SETCURSOR).
  static bool Shown();
};
