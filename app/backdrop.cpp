#include "backdrop.h"

// UNFINISHED: the gradient and the title bitmap are not painted yet; the window is
// only validated so that it stops asking for paint.
void PaintBackdrop(HWND window) {
  PAINTSTRUCT ps;
  BeginPaint(window, &ps);
  EndPaint(window, &ps);
}
