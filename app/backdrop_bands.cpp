#include "app/backdrop_bands.h"

int BackdropBandHeight(int clientHeight) {
  if (clientHeight <= 0) return 0;
  int height = clientHeight / 32;
  return height > 0 ? height : 1;
}

int BackdropBandsToPaint(const RECT& client, const RECT& paint,
                         BackdropBand (&bands)[kMaxBackdropBands]) {
  int height = BackdropBandHeight(client.bottom - client.top);
  int count = 0;
  if (height == 0) return 0;
  BYTE blue = 0;
  // The index bound only guards the array; the height alone ends the loop first.
  for (int y = client.top, n = 0; y < client.bottom && n < kMaxBackdropBands; ++n) {
    int end = y + height;
    if (end >= paint.top && y <= paint.bottom) bands[count++] = {y, height, blue};
    blue = static_cast<BYTE>(blue + 4);
    y = end;
  }
  return count;
}

bool TitleTouches(const RECT& client, int width, int height, const RECT& paint) {
  return client.top + height >= paint.top && client.left + width >= paint.left;
}

int TitleScale(int dpi) {
  if (dpi >= kMaxTitleScale * 96) return kMaxTitleScale;
  int scale = (dpi + 48) / 96;
  return scale > 1 ? scale : 1;
}
