#include "app/backdrop.h"

#include "app/backdrop_bands.h"
#include "app/installer_state.h"
#include "resources/resource.h"

namespace {

void PaintBands(HDC dc, const RECT& client, const RECT& paint) {
  BackdropBand bands[kMaxBackdropBands];
  int count = BackdropBandsToPaint(client, paint, bands);
  for (int i = 0; i < count; ++i) {
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, bands[i].blue));
    HGDIOBJ previous = SelectObject(dc, brush);
    PatBlt(dc, client.left, bands[i].top, client.right - client.left, bands[i].height, PATCOPY);
    SelectObject(dc, previous);
    DeleteObject(brush);
  }
}

// Loads the title bitmap once; a failed load is tried again on the next paint.
void LoadTitleBitmap() {
  if (g_state.titleBitmap) return;
  g_state.titleBitmap = LoadBitmapA(g_state.instance, MAKEINTRESOURCEA(IDB_TITLE));
  if (!g_state.titleBitmap) return;
  BITMAP info = {};
  GetObjectA(g_state.titleBitmap, sizeof info, &info);
  g_state.titleBitmapWidth = info.bmWidth;
  g_state.titleBitmapHeight = info.bmHeight;
}

// OR-ing the bitmap in lets its white artwork show and its black background keep the
// gradient: the paint DC's default colours map a one-bit source's pixels to black and
// white. On a screen of more than 96 DPI the artwork is enlarged by a whole factor, each
// pixel becoming a square block, so that it keeps its size in inches and stays sharp.
// The program is DPI-aware (its manifest), so the paint DC reports the screen's own DPI.
void PaintTitle(HDC dc, const RECT& client, const RECT& paint) {
  if (!g_state.titleBitmap) return;
  int scale = TitleScale(GetDeviceCaps(dc, LOGPIXELSY));
  int width = g_state.titleBitmapWidth * scale;
  int height = g_state.titleBitmapHeight * scale;
  if (!TitleTouches(client, width, height, paint)) return;
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) return;
  HGDIOBJ previous = SelectObject(memory, g_state.titleBitmap);
  StretchBlt(dc, client.left, client.top, width, height, memory, 0, 0,
             g_state.titleBitmapWidth, g_state.titleBitmapHeight, SRCPAINT);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

}  // namespace

void PaintBackdrop(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (dc) {
    PaintBands(dc, client, ps.rcPaint);
    LoadTitleBitmap();
    PaintTitle(dc, client, ps.rcPaint);
  }
  EndPaint(window, &ps);
}
