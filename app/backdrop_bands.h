// Where the backdrop's gradient bands and title bitmap go. Pure arithmetic, no drawing,
// so that the layout can be checked without a screen.
#pragma once

#include <windows.h>

// A band is painted from top to top + height across the whole client width; the last one
// may reach past the client's bottom edge, which clips it.
struct BackdropBand {
  int top;
  int height;
  BYTE blue;
};

// A 32nd of the client height gives at most 32 + 31 bands (one pixel each at 63 pixels
// high); an area 1 to 31 pixels high, whose 32nd would be 0, gets one-pixel bands, at
// most 31.
constexpr int kMaxBackdropBands = 63;

// The band height for a client area this many pixels high: a 32nd of it, rounded down,
// and at least one pixel so that the bands always reach the bottom. 0 for no height.
int BackdropBandHeight(int clientHeight);

// Fills bands, top to bottom, with the bands of the client area that touch the rectangle
// to be repainted (a band that merely adjoins its top or bottom edge counts), and returns
// how many. Blue starts at 0 and grows by 4 a band, as an 8-bit counter.
int BackdropBandsToPaint(const RECT& client, const RECT& paint,
                         BackdropBand (&bands)[kMaxBackdropBands]);

// The whole factor the title bitmap is enlarged by on a screen of this many dots per inch:
// DPI / 96 rounded to the nearest whole number (a half rounds up, so 144 gives 2), at
// least 1, and at most kMaxTitleScale, since the DPI comes from a value users can edit.
// A whole factor keeps the one-bit artwork's edges sharp.
constexpr int kMaxTitleScale = 16;
int TitleScale(int dpi);

// Whether a title bitmap of this size, laid at the client's top-left corner, touches the
// rectangle to be repainted (adjoining its top or left edge counts).
bool TitleTouches(const RECT& client, int width, int height, const RECT& paint);
