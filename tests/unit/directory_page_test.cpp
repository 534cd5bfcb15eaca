// The directory page's Browse: the platform's older file dialog, driven from a second
// thread while the page's thread waits in it.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>
#include <dlgs.h>

#include <functional>
#include <string>
#include <vector>

#include "app/installer_state.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "wizard/directory_page.h"

namespace {

using e2e::Lower;
using e2e::RemoveTree;
using e2e::WithoutSlash;

constexpr DWORD kWait = 30000;  // ms: a deadline, as long as the end-to-end driver's
const char kScratch[] = "C:\\velvor-unit\\browse";

std::string TextOf(HWND w) {
  char buf[512] = "";
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}
std::string ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

// What the driver thread saw of the Browse dialog. It is read by the test's thread only
// after the driver thread has ended.
struct Seen {
  bool found = false;
  bool closed = false;
  HWND owner = nullptr;
  std::string title, fileName, folder, movedTo;
  bool hasDirectoryList = false;
  bool readOnlyBoxVisible = true;
  bool focusOnOk = false;
  RECT rect = {};
};

// In the dialog: what to do before it is closed, and which button closes it.
struct Script {
  std::function<void(HWND dialog, Seen& seen)> act;
  int closeWith = IDOK;
};

struct DriverArgs {
  DWORD uiThread;
  const Script* script;
  Seen seen;
  HANDLE stop = nullptr;  // set: stop awaiting the dialog
};

BOOL CALLBACK FindBrowseDialog(HWND w, LPARAM lp) {
  char cls[64] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (!IsWindowVisible(w) || strcmp(cls, "#32770") != 0 || TextOf(w) != "Select Directory")
    return TRUE;
  *reinterpret_cast<HWND*>(lp) = w;
  return FALSE;
}

HWND AwaitBrowseDialog(DWORD uiThread, DWORD ms, HANDLE stop) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(10)) {
    if (stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return nullptr;
    HWND found = nullptr;
    EnumThreadWindows(uiThread, FindBrowseDialog, reinterpret_cast<LPARAM>(&found));
    if (found) return found;
  }
  return nullptr;
}

// The folder the older dialog is showing.
std::string ShownFolder(HWND dialog) { return ItemText(dialog, stc1); }

// Opens an entry of the dialog's directory list, as a double-click does.
bool OpenListEntry(HWND dialog, const char* entry) {
  HWND list = GetDlgItem(dialog, lst2);
  LRESULT at = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(entry));
  if (at == LB_ERR) return false;
  SendMessageA(list, LB_SETCURSEL, at, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(lst2, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
  return true;
}

DWORD WINAPI DriveBrowseDialog(void* p) {
  auto* args = static_cast<DriverArgs*>(p);
  Seen& seen = args->seen;
  HWND dialog = AwaitBrowseDialog(args->uiThread, kWait, args->stop);
  if (!dialog) return 0;
  seen.found = true;
  seen.owner = GetWindow(dialog, GW_OWNER);
  seen.title = TextOf(dialog);
  seen.fileName = ItemText(dialog, edt1);
  seen.folder = ShownFolder(dialog);
  seen.hasDirectoryList = GetDlgItem(dialog, lst2) != nullptr;
  seen.readOnlyBoxVisible = IsWindowVisible(GetDlgItem(dialog, chx1)) != FALSE;
  GetWindowRect(dialog, &seen.rect);
  // Give the file-name box the focus as a click would: it must pass it on to OK.
  if (AttachThreadInput(GetCurrentThreadId(), args->uiThread, TRUE)) {
    SetFocus(GetDlgItem(dialog, edt1));
    seen.focusOnOk = GetFocus() == GetDlgItem(dialog, IDOK);
    AttachThreadInput(GetCurrentThreadId(), args->uiThread, FALSE);
  }
  if (args->script->act) args->script->act(dialog, seen);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(args->script->closeWith, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, args->script->closeWith)));
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWait; Sleep(10)) {
    if (!IsWindow(dialog)) {
      seen.closed = true;
      return 0;
    }
  }
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // never leave the test's thread stuck
  return 0;
}

// Points this program's import of a system function elsewhere while it lives, so that the
// code under test, linked into this program, calls the replacement.
class ImportPatch {
 public:
  ImportPatch(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         imp->Name; ++imp) {
      if (_stricmp(reinterpret_cast<char*>(base + imp->Name), dll) != 0) continue;
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
      for (; names->u1.AddressOfData; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
          slot_ = reinterpret_cast<void**>(&slots->u1.Function);
          break;
        }
      }
    }
    if (slot_) Write(replacement, &saved_);
  }
  ~ImportPatch() {
    if (slot_) Write(saved_, nullptr);
  }
  bool active() const { return slot_ != nullptr; }

 private:
  void Write(void* value, void** old) {
    DWORD protect;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protect);
    if (old) *old = *slot_;
    *slot_ = value;
    VirtualProtect(slot_, sizeof *slot_, protect, &protect);
  }
  void** slot_ = nullptr;
  void* saved_ = nullptr;
};

LPVOID WINAPI NoHeapBlock(HANDLE, DWORD, SIZE_T) { return nullptr; }

// The page's message boxes, answered at once, so that none can hold the test's thread.
struct ShownBox {
  HWND owner;
  std::string text, title;
};
std::vector<ShownBox> g_boxes;
int WINAPI AnswerBox(HWND owner, LPCSTR text, LPCSTR title, UINT) {
  g_boxes.push_back({owner, text, title});
  return IDOK;
}

class Browse : public testing::Test {
 protected:
  void SetUp() override {
    ResetInstallerState();
    g_state.instance = GetModuleHandleA(nullptr);
    RemoveTree(kScratch);
    for (const char* sub : {"\\Stored\\Deeper", "\\Typed", "\\Other", "\\Current"})
      e2e::MakeDirs(kScratch + std::string(sub));
    GetCurrentDirectoryA(sizeof startDir_, startDir_);
  }
  // The plug-in page with this stored directory.
  void OpenPage(const std::string& stored) {
    strcpy(directory_, stored.c_str());
    g_state.pageDirectory = directory_;
    g_state.pageDisplayName = "Velvorine Plugin";
    g_state.pageMarkerFile = "velvor.8bf";
    page_ = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_DIRECTORY), nullptr,
                               DirectoryPageProc, 0);
    ASSERT_NE(page_, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(g_boxes.size(), 0u) << "a box said: " << g_boxes[0].text;
    g_boxes.clear();
    if (page_) DestroyWindow(page_);
    SetCurrentDirectoryA(startDir_);
    RemoveTree(kScratch);
  }
  static std::string Dir(const char* sub) { return kScratch + std::string(sub); }

  // Presses Browse on the page and lets the script run the dialog.
  Seen RunBrowse(const Script& script) {
    DriverArgs args{GetCurrentThreadId(), &script, {}};
    HANDLE thread = CreateThread(nullptr, 0, DriveBrowseDialog, &args, 0, nullptr);
    EXPECT_NE(thread, nullptr);
    if (!thread) return {};
    char before[MAX_PATH] = "", after[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof before, before);
    SendMessageA(page_, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page_, IDC_BROWSE)));
    EXPECT_EQ(WaitForSingleObject(thread, 2 * kWait + 1000), WAIT_OBJECT_0);
    CloseHandle(thread);
    // The dialog moves the current directory as it goes; Browse puts it back.
    GetCurrentDirectoryA(sizeof after, after);
    EXPECT_STREQ(after, before);
    EXPECT_TRUE(args.seen.found) << "no Select Directory dialog";
    EXPECT_TRUE(!args.seen.found || args.seen.closed) << "the dialog did not close";
    return args.seen;
  }
  std::string EditBox() const { return ItemText(page_, IDC_DIRECTORY); }

  char directory_[kPathSize] = {};
  char startDir_[MAX_PATH] = {};
  HWND page_ = nullptr;
  ImportPatch boxes_{"user32.dll", "MessageBoxA", reinterpret_cast<void*>(AnswerBox)};
};
using Page = Browse;

// Typing stops where the buffer would be full; Next refuses that as too long for a
// directory, over the page, and stores nothing.
TEST_F(Page, TypingStopsAtTheBufferAndNextRefusesWhatIsTooLong) {
  OpenPage("C:\\Before");
  std::string longPath = "C:\\" + std::string(kPathSize - 6, 'a');  // room for two more
  SetDlgItemTextA(page_, IDC_DIRECTORY, longPath.c_str());
  HWND edit = GetDlgItem(page_, IDC_DIRECTORY);
  SendMessageA(edit, EM_SETSEL, longPath.size(), longPath.size());
  for (char c : std::string("xyz")) SendMessageA(edit, WM_CHAR, c, 0);
  SendMessageA(page_, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(EditBox(), longPath + "xy");
  EXPECT_STREQ(directory_, "C:\\Before");
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].owner, page_);
  g_boxes.clear();
}

TEST_F(Browse, OpensTheOlderDialogInTheStoredDirectoryAndKeepsTheChosenFolder) {
  OpenPage(Dir("\\Stored"));
  SetDlgItemTextA(page_, IDC_DIRECTORY, Dir("\\Typed").c_str());
  Script script;
  script.act = [](HWND dialog, Seen& seen) {
    // Into the subfolder, up twice and into a sibling of the first folder.
    OpenListEntry(dialog, "[Deeper]");
    OpenListEntry(dialog, "[..]");
    OpenListEntry(dialog, "[..]");
    OpenListEntry(dialog, "[Other]");
    seen.movedTo = ShownFolder(dialog);
  };
  Seen seen = RunBrowse(script);
  EXPECT_EQ(seen.title, "Select Directory");
  EXPECT_EQ(seen.owner, page_);
  EXPECT_EQ(seen.fileName, "velvor.8bf");
  EXPECT_TRUE(seen.hasDirectoryList) << "not the older file dialog";
  EXPECT_FALSE(seen.readOnlyBoxVisible);
  EXPECT_EQ(Lower(WithoutSlash(seen.folder)), Lower(Dir("\\Stored")));
  EXPECT_EQ(Lower(WithoutSlash(seen.movedTo)), Lower(Dir("\\Other")));
  EXPECT_TRUE(seen.focusOnOk);
  int width = seen.rect.right - seen.rect.left, height = seen.rect.bottom - seen.rect.top;
  EXPECT_EQ(seen.rect.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  EXPECT_EQ(seen.rect.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);

  EXPECT_EQ(Lower(EditBox()), Lower(Dir("\\Other")));
  EXPECT_STREQ(directory_, Dir("\\Stored").c_str()) << "only Next stores the edit box";
  SendMessageA(page_, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(Lower(directory_), Lower(Dir("\\Other")));
}

TEST_F(Browse, CancelLeavesTheEditBoxAsItWas) {
  OpenPage(Dir("\\Stored"));
  SetDlgItemTextA(page_, IDC_DIRECTORY, "C:\\Typed but not stored");
  Script script;
  script.act = [](HWND dialog, Seen&) { OpenListEntry(dialog, "[Deeper]"); };
  script.closeWith = IDCANCEL;
  RunBrowse(script);
  EXPECT_EQ(EditBox(), "C:\\Typed but not stored");
  EXPECT_STREQ(directory_, Dir("\\Stored").c_str());
}

TEST_F(Browse, AnEmptyStoredDirectoryOpensInTheCurrentDirectory) {
  ASSERT_TRUE(SetCurrentDirectoryA(Dir("\\Current").c_str()));
  OpenPage("");
  SetDlgItemTextA(page_, IDC_DIRECTORY, Dir("\\Typed").c_str());
  Seen seen = RunBrowse({});
  EXPECT_EQ(Lower(WithoutSlash(seen.folder)), Lower(Dir("\\Current")));
  EXPECT_EQ(Lower(EditBox()), Lower(Dir("\\Current")));
  EXPECT_STREQ(directory_, "");
}

TEST_F(Browse, TheRootOfTheDriveGivesTheDriveWithoutABackslash) {
  OpenPage(Dir("\\Stored"));
  Script script;
  script.act = [](HWND dialog, Seen& seen) {
    for (int up = 0; up < 16 && OpenListEntry(dialog, "[..]"); ++up) {
    }
    seen.movedTo = ShownFolder(dialog);
  };
  Seen seen = RunBrowse(script);
  EXPECT_EQ(Lower(seen.movedTo), "c:\\");
  EXPECT_EQ(Lower(EditBox()), "c:");
}

TEST_F(Browse, WithoutItsHeapBlockBrowseDoesNothing) {
  OpenPage(Dir("\\Stored"));
  SetDlgItemTextA(page_, IDC_DIRECTORY, "C:\\Typed");
  // Should a dialog open after all, the driver closes it and the test fails.
  Script script;
  script.closeWith = IDCANCEL;
  DriverArgs args{GetCurrentThreadId(), &script, {}, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = CreateThread(nullptr, 0, DriveBrowseDialog, &args, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  {
    ImportPatch patch("kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(NoHeapBlock));
    ASSERT_TRUE(patch.active());
    SendMessageA(page_, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page_, IDC_BROWSE)));
  }
  SetEvent(args.stop);  // Browse has returned: a modal dialog cannot come any more
  EXPECT_EQ(WaitForSingleObject(thread, 2 * kWait + 1000), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(args.stop);
  EXPECT_FALSE(args.seen.found) << "a Browse dialog opened without its block";
  EXPECT_EQ(EditBox(), "C:\\Typed");
  EXPECT_STREQ(directory_, Dir("\\Stored").c_str());
}

}  // namespace
