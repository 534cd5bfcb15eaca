// The backdrop behind the pages, read from the screen of the 1024 x 768 Wine desktop.
#include <gtest/gtest.h>

#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int kWidth = 1024, kHeight = 768;
constexpr COLORREF kWhite = RGB(255, 255, 255);

// 32 bands of 24 pixels, blue 0, 4, ..., 124.
COLORREF Gradient(int y) { return RGB(0, 0, y / 24 * 4); }

// The whole screen, copied once so that a check of every pixel stays cheap.
class ScreenImage {
 public:
  bool Capture() {
    int w = 0, h = 0;
    return CaptureScreen(&pixels_, &w, &h) && w == kWidth && h == kHeight;
  }
  COLORREF At(int x, int y) const {
    DWORD p = pixels_[y * kWidth + x];  // 0x00RRGGBB
    return RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
  }

 private:
  std::vector<DWORD> pixels_;
};

// The title bitmap as setup.exe carries it: true where a pixel is white (colour 0).
class TitleArt {
 public:
  bool Load(const std::string& exe) {
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(IDB_TITLE), MAKEINTRESOURCEA(2));
    auto* info = res ? static_cast<const BITMAPINFO*>(LockResource(LoadResource(module, res)))
                     : nullptr;
    if (info && info->bmiHeader.biBitCount == 1 && info->bmiHeader.biHeight > 0) {
      width = info->bmiHeader.biWidth;
      height = info->bmiHeader.biHeight;
      const BYTE* bits = reinterpret_cast<const BYTE*>(info->bmiColors + 2);
      int stride = (width + 31) / 32 * 4;
      white_.assign(width * height, false);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const BYTE* row = bits + (height - 1 - y) * stride;  // bottom-up
          white_[y * width + x] = !(row[x / 8] & (0x80 >> (x % 8)));
        }
    }
    FreeLibrary(module);
    return !white_.empty();
  }
  bool Inside(int x, int y) const { return x < width && y < height; }
  bool White(int x, int y) const { return white_[y * width + x]; }
  int WhiteCount() const {
    int n = 0;
    for (bool w : white_) n += w;
    return n;
  }
  int width = 0, height = 0;

 private:
  std::vector<bool> white_;
};

class Backdrop : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetScreenDpi(kDefaultDpi));  // whatever an earlier run left behind
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), kWidth);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), kHeight);
    ASSERT_TRUE(art_.Load(SetupExe())) << "no title bitmap in " << SetupExe();
    media_ = MakeMedia(ScratchDir(), DefaultPayload());
  }

  // What the backdrop should show at a pixel that no window covers: the title enlarged
  // scale_ times, each of its pixels a square block.
  COLORREF Expected(int x, int y) const {
    int ax = x / scale_, ay = y / scale_;
    return art_.Inside(ax, ay) && art_.White(ax, ay) ? kWhite : Gradient(y);
  }

  // Pixels outside `covered` that differ from the backdrop; the first is described.
  int Mismatches(const ScreenImage& screen, const RECT& covered, std::string* first) const {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        POINT p = {x, y};
        if (PtInRect(&covered, p)) continue;
        COLORREF got = screen.At(x, y), want = Expected(x, y);
        if (got == want) continue;
        if (n++ == 0 && first) {
          char text[128];
          wsprintfA(text, "(%d,%d) is %06lX, expected %06lX", x, y, got, want);
          *first = text;
        }
      }
    return n;
  }

  // Waits until the screen outside the window shows the backdrop, and keeps showing it
  // for kSteady ms: Wine copies a window's pixels to the screen a little after they are
  // painted, so a first match may still be the old picture.
  void ExpectBackdropAround(HWND window) {
    const DWORD kSteady = 500;
    RECT covered;
    GetWindowRect(window, &covered);
    ScreenImage screen;
    std::string first;
    int wrong = 0;
    DWORD start = GetTickCount(), matchedSince = 0;
    bool matching = false;
    for (;;) {
      ASSERT_TRUE(screen.Capture());
      DWORD now = GetTickCount();
      wrong = Mismatches(screen, covered, &first);
      if (wrong != 0) {
        matching = false;
      } else if (!matching) {
        matching = true;
        matchedSince = now;
      }
      if (matching && now - matchedSince >= kSteady) return;
      if (now - start >= kWait) break;
      Sleep(50);
    }
    ADD_FAILURE() << "pixels around the window at " << covered.left << "," << covered.top
                  << " not steadily showing the backdrop within " << kWait << " ms; "
                  << wrong << " wrong, first: " << first;
  }

  // Moves a page and has the main window repaint what it uncovered. Wine keeps a
  // window's pixels behind the windows over it and sends no paint for them, so the test
  // invalidates (and erases, in the class's white) the uncovered rectangle as a system
  // without that store would: only the program's own partial repaint brings it back.
  void MoveTo(SetupProcess& setup, HWND page, int x, int y) {
    RECT before, after;
    GetWindowRect(page, &before);
    ASSERT_TRUE(SetWindowPos(page, nullptr, x, y, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    GetWindowRect(page, &after);
    ASSERT_EQ(after.left, x);
    ASSERT_EQ(after.top, y);
    HWND main = setup.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(RedrawWindow(main, &before, nullptr, RDW_INVALIDATE | RDW_ERASE));
  }

  TitleArt art_;
  std::string media_;
  int scale_ = 1;
};

// A page lies wholly on the screen, centred on it as CenterWindow places it.
void ExpectWholeAndCentred(HWND page, const char* what) {
  RECT r;
  ASSERT_TRUE(GetWindowRect(page, &r)) << what;
  SCOPED_TRACE(testing::Message() << what << " at " << r.left << "," << r.top << " to "
                                  << r.right << "," << r.bottom);
  EXPECT_GE(r.left, 0);
  EXPECT_GE(r.top, 0);
  EXPECT_LE(r.right, kWidth);
  EXPECT_LE(r.bottom, kHeight);
  EXPECT_EQ(r.left, (kWidth - (r.right - r.left)) / 2);
  EXPECT_EQ(r.top, (kHeight - (r.bottom - r.top)) / 2);
}

// A setting of setup.exe's manifest in the namespace of Windows' DPI settings, as the
// loader reads it; empty when it is not there.
std::wstring DpiSetting(const std::string& exe, const wchar_t* name) {
  ACTCTXA context = {};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = exe.c_str();
  context.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE handle = CreateActCtxA(&context);
  if (handle == INVALID_HANDLE_VALUE) return L"";
  wchar_t value[64] = L"";
  SIZE_T written = 0;
  if (!QueryActCtxSettingsW(0, handle, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                            name, value, 64, &written))
    value[0] = L'\0';
  ReleaseActCtx(handle);
  return value;
}

// Every pixel around the page: 32 bands of 24 pixels, blue 0 to 124, and inside the
// 321 x 90 corner the title's white pixels white and its black ones showing the bands.
TEST_F(Backdrop, BandsAndTitleAroundTheComponentPage) {
  EXPECT_EQ(art_.width, 321);
  EXPECT_EQ(art_.height, 90);
  EXPECT_GT(art_.WhiteCount(), 1000);  // artwork, not a blank bitmap
  EXPECT_LT(art_.WhiteCount(), 321 * 90 / 2);
  SetupProcess setup(media_);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  ExpectBackdropAround(page);
  ExpectCancelledAndExit(setup, page);
}

TEST_F(Backdrop, AreaUncoveredByAMovedPageIsRepainted) {
  SetupProcess setup(media_);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  ExpectBackdropAround(page);

  // Over the title: the middle of the screen gets its bands back.
  MoveTo(setup, page, 0, 0);
  ExpectBackdropAround(page);
  // Into the bottom-right corner: the title comes back as well.
  RECT r;
  GetWindowRect(page, &r);
  MoveTo(setup, page, kWidth - (r.right - r.left), kHeight - (r.bottom - r.top));
  ExpectBackdropAround(page);
  ExpectCancelledAndExit(setup, page);
}

// setup.exe declares itself DPI-aware, and at 96, 144 and 192 DPI (set before it starts)
// its pages grow with their font yet stay whole and centred on the 1024 x 768 screen
// ("MS Sans Serif" is a bitmap font: it grows in the steps of its sizes, not in proportion;
// here 144 and 192 DPI take the same size),
// while the title is drawn 1, 2 and 2 times its size (1.5 rounds up): 321 x 90, 642 x 180
// and 642 x 180 pixels, each bitmap pixel a square block, with the bands around it, and
// repainted where a page leaves the enlarged title.
TEST_F(Backdrop, PagesAndTitleFollowTheScreenDpi) {
  EXPECT_EQ(DpiSetting(SetupExe(), L"dpiAware"), L"true");
  struct Case {
    DWORD dpi;
    int scale;
  };
  const Case cases[] = {{96, 1}, {144, 2}, {192, 2}};
  int widthAt96 = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dpi << " DPI");
    ScopedScreenDpi dpi(c.dpi);
    scale_ = c.scale;
    SetupProcess setup(media_);
    HWND page = setup.AwaitComponentPage();
    ASSERT_NE(page, nullptr);
    ExpectWholeAndCentred(page, "component page");
    RECT centred;
    GetWindowRect(page, &centred);
    int width = centred.right - centred.left;
    if (c.dpi == 96) widthAt96 = width;
    EXPECT_TRUE(c.dpi == 96 || width > widthAt96)
        << "the page did not grow with the DPI: " << width << " wide, " << widthAt96 << " at 96";
    ExpectBackdropAround(page);

    // Over the lower right of the enlarged title and back: the uncovered part of the
    // title lies right of and below the bitmap's own size.
    MoveTo(setup, page, 400, 100);
    MoveTo(setup, page, centred.left, centred.top);
    ExpectBackdropAround(page);

    ASSERT_TRUE(setup.Press(page, IDOK));
    HWND directory = setup.AwaitDirectoryPage("Velvorine Plugin");
    ASSERT_NE(directory, nullptr);
    ExpectWholeAndCentred(directory, "directory page");
    ExpectCancelledAndExit(setup, directory);
  }
}

}  // namespace
