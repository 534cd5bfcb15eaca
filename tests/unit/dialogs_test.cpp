// The dialog templates as the resources build them, and the page procedures run on them.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/installer_state.h"
#include "resources/resource.h"
#include "wizard/component_page.h"
#include "wizard/directory_page.h"

namespace {

struct ControlSpec {
  int id;
  const char* cls;
  DWORD style;  // the kind (button type, static alignment) and the flags checked below
  const char* text;
  int x, y, cx, cy;
};

INT_PTR CALLBACK PlainProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::string TextOf(HWND w) {
  char buf[512] = "";
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}

const DWORD kFlags = WS_TABSTOP | WS_GROUP | WS_BORDER | ES_AUTOHSCROLL;

void ExpectTemplate(int dialogId, const char* title, int cx, int cy,
                    const std::vector<ControlSpec>& controls) {
  HWND dlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialogId), nullptr,
                                PlainProc, 0);
  ASSERT_NE(dlg, nullptr) << "dialog " << dialogId;
  EXPECT_EQ(TextOf(dlg), title);
  DWORD style = GetWindowLongA(dlg, GWL_STYLE);
  DWORD want = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  EXPECT_EQ(style & want, want) << dialogId;
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u) << dialogId;

  LOGFONTA lf = {};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dlg, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif") << dialogId;

  RECT size = {0, 0, cx, cy}, client;
  MapDialogRect(dlg, &size);
  GetClientRect(dlg, &client);
  EXPECT_EQ(client.right, size.right) << dialogId;
  EXPECT_EQ(client.bottom, size.bottom) << dialogId;

  HWND child = GetWindow(dlg, GW_CHILD);
  for (const ControlSpec& c : controls) {
    ASSERT_NE(child, nullptr) << "dialog " << dialogId << " lacks control " << c.text;
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    EXPECT_STRCASEEQ(cls, c.cls) << c.text;
    EXPECT_EQ(GetDlgCtrlID(child), c.id & 0xFFFF) << c.text;  // -1 is stored as 0xFFFF
    EXPECT_EQ(TextOf(child), c.text);
    DWORD cs = GetWindowLongA(child, GWL_STYLE);
    // An edit box turns its border into a client edge when it is created.
    if (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) cs |= WS_BORDER;
    EXPECT_EQ(cs & kFlags, c.style & kFlags) << c.text;
    EXPECT_EQ(cs & 0x1F, c.style & 0x1F) << c.text;  // button type or static alignment
    // The dialog manager converts the position and the size separately.
    RECT pos = {c.x, c.y, c.cx, c.cy}, got;
    MapDialogRect(dlg, &pos);
    RECT want = {pos.left, pos.top, pos.left + pos.right, pos.top + pos.bottom};
    GetWindowRect(child, &got);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_TRUE(EqualRect(&want, &got))
        << c.text << " at " << got.left << "," << got.top << " " << got.right - got.left << "x"
        << got.bottom - got.top << ", expected " << want.left << "," << want.top << " "
        << want.right - want.left << "x" << want.bottom - want.top;
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "dialog " << dialogId << " has extra controls";
  DestroyWindow(dlg);
}

TEST(Templates, ComponentPage) {
  ExpectTemplate(IDD_COMPONENTS, "Velvorine Install", 190, 95,
                 {{IDOK, "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, "&Next", 77, 74, 50, 14},
                  {IDCANCEL, "Button", BS_PUSHBUTTON | WS_TABSTOP, "Cancel", 133, 74, 50, 14},
                  {-1, "Static", SS_LEFT | WS_GROUP,
                   "Select the components that you wish to install:", 7, 7, 156, 8},
                  {IDC_PLUGIN, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, "Velvorine &Plugin", 9, 21,
                   80, 10},
                  {IDC_SAMPLES, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, "&Sample Files", 9, 36, 55,
                   10},
                  {IDC_HELPFILES, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, "On-Line &Help Files", 9,
                   51, 73, 10}});
}

TEST(Templates, DirectoryPage) {
  ExpectTemplate(
      IDD_DIRECTORY, "Installation Directory", 240, 82,
      {{IDOK, "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, "&Next", 129, 61, 50, 14},
       {IDCANCEL, "Button", BS_PUSHBUTTON | WS_TABSTOP, "Cancel", 183, 61, 50, 14},
       {IDC_BACK, "Button", BS_PUSHBUTTON | WS_TABSTOP, "&Back", 75, 61, 50, 14},
       {IDC_PROMPT, "Static", SS_CENTER | WS_GROUP,
        "Type in the directory where the x will be installed,", 7, 9, 226, 8},
       {-1, "Static", SS_CENTER | WS_GROUP,
        "or click on \"Browse\" to select a directory interactively.", 7, 21, 226, 8},
       {IDC_DIRECTORY, "Edit", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, "", 17, 36, 205, 14},
       {IDC_BROWSE, "Button", BS_PUSHBUTTON | WS_TABSTOP, "B&rowse...", 7, 61, 50, 14}});
}

TEST(Templates, CopyingDialog) {
  ExpectTemplate(IDD_COPYING, "Installing Files", 263, 66,
                 {{IDCANCEL, "Button", BS_PUSHBUTTON | WS_TABSTOP, "Cancel", 107, 45, 50, 14},
                  {IDC_COPYFILE, "Static", SS_CENTER | WS_GROUP, "Static", 7, 7, 249, 8},
                  {IDC_COPYDEST, "Static", SS_CENTER | WS_GROUP, "Static", 7, 19, 249, 8}});
}

TEST(Strings, Table) {
  char buf[256];
  HINSTANCE self = GetModuleHandleA(nullptr);
  ASSERT_GT(LoadStringA(self, IDS_CONFIRMCANCEL, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "Are you sure you wish to cancel this installation?");
  ASSERT_GT(LoadStringA(self, IDS_APPTITLE, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "Velvorine Install");
  ASSERT_GT(LoadStringA(self, IDS_DIRPROMPT, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "Type in the directory where the %s will be installed,");
}

TEST(Bitmap, TitleIsOneBit321By90WhiteOnBlack) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(self, MAKEINTRESOURCEA(IDB_TITLE), MAKEINTRESOURCEA(2));  // RT_BITMAP
  ASSERT_NE(res, nullptr);
  auto* info = static_cast<const BITMAPINFO*>(LockResource(LoadResource(self, res)));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->bmiHeader.biWidth, 321);
  EXPECT_EQ(info->bmiHeader.biHeight, 90);
  EXPECT_EQ(info->bmiHeader.biBitCount, 1);
  const RGBQUAD* pal = info->bmiColors;
  EXPECT_EQ(pal[0].rgbRed & pal[0].rgbGreen & pal[0].rgbBlue, 0xFF);  // colour 0 white
  EXPECT_EQ(pal[1].rgbRed | pal[1].rgbGreen | pal[1].rgbBlue, 0x00);  // colour 1 black

  HBITMAP bmp = LoadBitmapA(self, MAKEINTRESOURCEA(IDB_TITLE));
  ASSERT_NE(bmp, nullptr);
  BITMAP loaded = {};
  ASSERT_TRUE(GetObjectA(bmp, sizeof loaded, &loaded));
  EXPECT_EQ(loaded.bmWidth, 321);
  EXPECT_EQ(loaded.bmHeight, 90);
  DeleteObject(bmp);
}

class Pages : public testing::Test {
 protected:
  void SetUp() override {
    ResetInstallerState();
    g_state.instance = GetModuleHandleA(nullptr);
  }
  static bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
};

TEST_F(Pages, ComponentPageShowsAndStoresTheFlagsOnNextAndCancel) {
  g_state.wantSamples = 0;
  HWND dlg = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_COMPONENTS), nullptr,
                                ComponentPageProc, 0);
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(Checked(dlg, IDC_PLUGIN));
  EXPECT_FALSE(Checked(dlg, IDC_SAMPLES));
  EXPECT_TRUE(Checked(dlg, IDC_HELPFILES));
  CheckDlgButton(dlg, IDC_PLUGIN, BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_SAMPLES, BST_CHECKED);
  SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(g_state.wantPlugin, 0);
  EXPECT_EQ(g_state.wantSamples, 1);
  EXPECT_EQ(g_state.wantHelp, 1);
  CheckDlgButton(dlg, IDC_HELPFILES, BST_UNCHECKED);
  SendMessageA(dlg, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(g_state.wantHelp, 0);
  DestroyWindow(dlg);
}

}  // namespace
