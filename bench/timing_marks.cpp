// The benchmark build's record of the start-up's moments: the performance counter at
// the first time each mark is reached, written to a shared block that startup_bench
// made and reads (kTimingMarksName). Without that block nothing is recorded.
#include <windows.h>

#include "app/timing_marks.h"
#include "bench/timing_marks_block.h"

namespace {
LONGLONG* s_block = nullptr;  // the view stays until the process ends
bool s_opened = false;
}  // namespace

// The block is opened at the first mark, the main window's, before the copy's worker
// thread can reach one.
void RecordTimingMark(TimingMark mark) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (!s_opened) {
    s_opened = true;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kTimingMarksName);
    if (mapping) s_block = static_cast<LONGLONG*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  }
  LONGLONG* block = s_block;
  int i = static_cast<int>(mark);
  if (block && block[i] == 0) block[i] = now.QuadPart;
}
