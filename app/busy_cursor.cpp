#include <windows.h>

#include "app/busy_cursor.h"

namespace {
int s_busy = 0;  // user-interface thread only
}  // namespace

BusyCursor::BusyCursor() {
  ++s_busy;
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

BusyCursor::~BusyCursor() {
  if (--s_busy == 0) SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

bool BusyCursor::Shown() { return s_busy > 0; }
