// The backdrop's band layout, and PaintBackdrop on a real window.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <memory>

#include "app/backdrop.h"
#include "app/backdrop_bands.h"
#include "app/busy_cursor.h"
#include "app/installer_state.h"
#include "app/main_window.h"

namespace {

struct Layout {
  int count;
  BackdropBand bands[kMaxBackdropBands];
};

Layout LayoutOf(const RECT& client, const RECT& paint) {
  Layout l;
  l.count = BackdropBandsToPaint(client, paint, l.bands);
  return l;
}

// Every band of a full repaint: contiguous from the top, 4 bluer each, and the last one
// reaching the bottom edge.
TEST(BackdropBands, FullRepaintCoversTheClientAreaInBandsOfA32nd) {
  struct Case {
    int height, bandHeight, count, lastBlue, lastShown;
  };
  const Case cases[] = {
      {768, 24, 32, 124, 24},
      {600, 18, 34, 132, 6},
      {0, 0, 0, 0, 0},
      {1, 1, 1, 0, 1},      // 1 to 31 pixels: bands of one pixel
      {31, 1, 31, 120, 1},
      {32, 1, 32, 124, 1},
      {63, 1, 63, 248, 1},  // the largest count
      {64, 2, 32, 124, 2},
      {95, 2, 48, 188, 1},
      {1079, 33, 33, 128, 23},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.height);
    RECT client = {0, 0, 1024, c.height};
    EXPECT_EQ(BackdropBandHeight(c.height), c.bandHeight);
    Layout l = LayoutOf(client, client);
    ASSERT_EQ(l.count, c.count);
    int y = 0;
    for (int i = 0; i < l.count; ++i) {
      EXPECT_EQ(l.bands[i].top, y) << "band " << i;
      EXPECT_EQ(l.bands[i].height, c.bandHeight) << "band " << i;
      EXPECT_EQ(l.bands[i].blue, 4 * i) << "band " << i;
      y += l.bands[i].height;
    }
    if (l.count == 0) continue;
    const BackdropBand& last = l.bands[l.count - 1];
    EXPECT_EQ(last.blue, c.lastBlue);
    EXPECT_EQ(c.height - last.top, c.lastShown);
    EXPECT_GE(last.top + last.height, c.height);
  }
}

// A 1024 x 768 client area: bands of 24 pixels, band n from 24n to 24n + 24.
TEST(BackdropBands, PartialRepaintSelectsTheBandsItTouchesOrAdjoins) {
  const RECT client = {0, 0, 1024, 768};
  struct Case {
    RECT paint;
    int first, count;
  };
  const Case cases[] = {
      {{400, 300, 600, 340}, 12, 3},  // inside bands 12 to 14
      {{400, 312, 600, 336}, 12, 3},  // exactly band 13; 12 and 14 adjoin it
      {{400, 313, 600, 335}, 13, 1},  // inside band 13 alone
      {{0, 0, 1024, 1}, 0, 1},
      {{0, 767, 1024, 768}, 31, 1},
      {{0, 0, 1024, 768}, 0, 32},
      {{0, 768, 1024, 800}, 31, 1},   // below the window: the last band adjoins it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.paint.top << ".." << c.paint.bottom);
    Layout l = LayoutOf(client, c.paint);
    ASSERT_EQ(l.count, c.count);
    for (int i = 0; i < l.count; ++i) {
      EXPECT_EQ(l.bands[i].top, 24 * (c.first + i));
      EXPECT_EQ(l.bands[i].blue, 4 * (c.first + i));
    }
  }
}

TEST(BackdropBands, TitleIsRepaintedOnlyWhereItTouchesTheRepaint) {
  const RECT client = {0, 0, 1024, 768};
  struct Case {
    RECT paint;
    bool touches;
  };
  const Case cases[] = {
      {{400, 300, 600, 340}, false},  // the middle of the window
      {{0, 0, 1024, 768}, true},
      {{320, 89, 330, 100}, true},
      {{321, 90, 400, 120}, true},    // adjoins its bottom-right corner
      {{322, 0, 400, 50}, false},     // right of it
      {{0, 91, 100, 120}, false},     // below it
  };
  for (const Case& c : cases)
    EXPECT_EQ(TitleTouches(client, 321, 90, c.paint), c.touches)
        << c.paint.left << "," << c.paint.top;
}

// 96 DPI and below keep the bitmap as it is; above, the nearest whole factor, a half
// rounding up.
TEST(BackdropBands, TitleScaleIsTheNearestWholeFactorOfTheDpi) {
  const int cases[][2] = {
      {96, 1},  {120, 1}, {143, 1},  {144, 2},  {192, 2}, {239, 2}, {240, 3}, {288, 3},
      {480, 5}, {72, 1},  {0, 1},    {-96, 1},  {INT_MIN, 1},
      {1535, 16}, {1536, 16}, {100000, 16}, {INT_MAX, 16},  // a LogPixels gone wild
  };
  for (const auto& c : cases) EXPECT_EQ(TitleScale(c[0]), c[1]) << c[0] << " DPI";
}

// PaintBackdrop on a window of this test program, read back from the window's own pixels
// (what reaches the screen follows a little later).
class PaintedWindow : public testing::Test {
 protected:
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PAINT) {
      PaintBackdrop(w);
      return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
  }
  void SetUp() override {
    ResetInstallerState();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "BackdropTest";
    RegisterClassA(&wc);
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
    if (g_state.titleBitmap) DeleteObject(g_state.titleBitmap);
    ResetInstallerState();
  }
  void Show(int width, int height) {
    window_ = CreateWindowExA(WS_EX_TOPMOST, "BackdropTest", "", WS_POPUP | WS_VISIBLE, 0, 0,
                              width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    Repaint();
  }
  void Repaint() {
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    GdiFlush();
  }
  COLORREF Pixel(int x, int y) {
    HDC dc = GetDC(window_);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window_, dc);
    return c;
  }
  int WhitePixelsInTitle() {
    int white = 0;
    HDC dc = GetDC(window_);
    for (int y = 0; y < 90; y += 2)
      for (int x = 0; x < 321; x += 2) white += GetPixel(dc, x, y) == RGB(255, 255, 255);
    ReleaseDC(window_, dc);
    return white;
  }
  HWND window_ = nullptr;
};

TEST_F(PaintedWindow, AShortWindowGetsBandsOfOnePixel) {
  g_state.instance = GetModuleHandleA("kernel32.dll");  // no title bitmap there
  Show(200, 20);
  for (int y = 0; y < 20; ++y) EXPECT_EQ(Pixel(150, y), RGB(0, 0, 4 * y)) << "row " << y;
}

TEST_F(PaintedWindow, TitleBitmapThatFailsToLoadIsTriedAgainOnTheNextPaint) {
  g_state.instance = GetModuleHandleA("kernel32.dll");
  Show(400, 128);
  EXPECT_EQ(g_state.titleBitmap, nullptr);
  EXPECT_EQ(WhitePixelsInTitle(), 0);
  for (int y = 0; y < 90; y += 3) EXPECT_EQ(Pixel(30, y), RGB(0, 0, 4 * (y / 4))) << y;

  g_state.instance = GetModuleHandleA(nullptr);  // this program carries the bitmap
  Repaint();
  ASSERT_NE(g_state.titleBitmap, nullptr);
  EXPECT_EQ(g_state.titleBitmapWidth, 321);
  EXPECT_EQ(g_state.titleBitmapHeight, 90);
  EXPECT_GT(WhitePixelsInTitle(), 200);
  // Right of and below the bitmap the gradient is untouched.
  for (int y = 0; y < 128; ++y) EXPECT_EQ(Pixel(350, y), RGB(0, 0, 4 * (y / 4))) << y;
  for (int x = 0; x < 400; x += 7) EXPECT_EQ(Pixel(x, 100), RGB(0, 0, 100)) << x;

  // A loaded bitmap is kept.
  HBITMAP loaded = g_state.titleBitmap;
  Repaint();
  EXPECT_EQ(g_state.titleBitmap, loaded);
}

// While the program waits for a file still being copied after a Cancel, the backdrop
// shows the wait cursor; after, the arrow of its class again.
TEST(MainWindow, ShowsTheWaitCursorWhileBusy) {
  ASSERT_TRUE(InitApplication(GetModuleHandleA(nullptr)));
  HWND window = CreateWindowExA(0, kMainClassName, "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  auto cursor = [&] {
    SendMessageA(window, WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  std::unique_ptr<BusyCursor> busy(new BusyCursor);
  EXPECT_EQ(cursor(), LoadCursorA(nullptr, IDC_WAIT));
  busy.reset();
  EXPECT_EQ(cursor(), LoadCursorA(nullptr, IDC_ARROW));
  DestroyWindow(window);
  for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {  // its start and its quit
  }
}

}  // namespace
