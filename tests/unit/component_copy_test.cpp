// The copy of one component: its file list, the progress dialog and the worker thread,
// run in this process against real folders.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/component_copy.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using e2e::FileExists;
using e2e::FilesIn;
using e2e::ReadFileText;
using e2e::SearchOrder;
using e2e::WriteFileText;

// What this thread's windows went through while a copy ran: the progress dialogs
// created and the texts set on their two status lines, in order.
struct Watch {
  static Watch* current;
  int dialogs = 0;
  std::vector<std::pair<int, std::string>> texts;
  HHOOK cbt, calls;

  Watch() {
    current = this;
    cbt = SetWindowsHookExA(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
    calls = SetWindowsHookExA(WH_CALLWNDPROC, OnCall, nullptr, GetCurrentThreadId());
  }
  ~Watch() {
    UnhookWindowsHookEx(cbt);
    UnhookWindowsHookEx(calls);
    current = nullptr;
  }
  static LRESULT CALLBACK OnCbt(int code, WPARAM w, LPARAM l) {
    if (code == HCBT_CREATEWND) {
      auto* create = reinterpret_cast<CBT_CREATEWNDA*>(l)->lpcs;
      if (create->lpszName && strcmp(create->lpszName, "Installing Files") == 0)
        ++current->dialogs;
    }
    return CallNextHookEx(nullptr, code, w, l);
  }
  static LRESULT CALLBACK OnCall(int code, WPARAM w, LPARAM l) {
    auto* msg = reinterpret_cast<CWPSTRUCT*>(l);
    int id = GetDlgCtrlID(msg->hwnd);
    if (code == HC_ACTION && msg->message == WM_SETTEXT &&
        (id == IDC_COPYFILE || id == IDC_COPYDEST))
      current->texts.emplace_back(id, reinterpret_cast<const char*>(msg->lParam));
    return CallNextHookEx(nullptr, code, w, l);
  }
};
Watch* Watch::current = nullptr;

std::vector<std::string> ListedNames(const char* list) {
  std::vector<std::string> names;
  for (const char* p = list; *p; p += strlen(p) + 1) names.push_back(p);
  return names;
}

int ThreadsOfThisProcess() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  int n = 0;
  for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t))
    if (t.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  CloseHandle(snap);
  return n;
}

// Ends the program with a message when a round of the cancel test makes no progress for
// 20 s, instead of holding the run until its timeout.
volatile LONG g_roundsDone = 0;
DWORD WINAPI Watchdog(LPVOID) {
  for (LONG seen = -1; seen != g_roundsDone;) {
    seen = g_roundsDone;
    Sleep(20000);
  }
  if (g_roundsDone < 50) {
    fprintf(stderr, "no progress in 20 s: the copy hangs\n");
    TerminateProcess(GetCurrentProcess(), 3);
  }
  return 0;
}

// Presses Cancel on the progress dialog once it is open and *delayMs have passed.
DWORD WINAPI Canceller(LPVOID delayMs) {
  HWND dialog = nullptr;
  for (int i = 0; i < 5000 && !(dialog = g_state.copyDialog); ++i) Sleep(1);
  if (!dialog) return 0;
  Sleep(*static_cast<DWORD*>(delayMs));
  // As the button does; a dialog that has already gone ignores it.
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  return 0;
}

class CopyFiles : public testing::Test {
 protected:
  void SetUp() override {
    ResetInstallerState();
    g_state.instance = GetModuleHandleA(nullptr);
    root_ = e2e::ScratchDir();
    media_ = root_ + "media\\";
    ASSERT_TRUE(e2e::MakeDirs(media_));
    ASSERT_TRUE(TextCopy(g_state.moduleDir, kPathSize, media_.c_str()));
    g_state.moduleNameSlot = g_state.moduleDir + media_.size();
  }
  // A source folder under the media with these files, each holding its own name.
  void MakeSource(const std::string& folder, const std::vector<std::string>& names) {
    ASSERT_TRUE(e2e::MakeDirs(media_ + folder));
    for (const std::string& n : names)
      ASSERT_TRUE(WriteFileText(media_ + folder + "\\" + n, "content of " + n)) << n;
  }
  // A directory buffer of the state holding dir.
  char* Destination(const std::string& dir) {
    EXPECT_TRUE(TextCopy(g_state.pluginDir, kPathSize, dir.c_str())) << dir;
    return g_state.pluginDir;
  }
  void ExpectIdle() {
    EXPECT_EQ(g_state.fileList.load(), nullptr);
    EXPECT_EQ(g_state.copyDialog.load(), nullptr);
  }
  std::string root_, media_;
};

TEST_F(CopyFiles, ListsEveryEntryAndCopiesTheFilesNamingEach) {
  MakeSource("plugin", {"velvor.8bf", "readme.txt", "notes.txt"});
  std::string dest = root_ + "dest";
  ASSERT_TRUE(e2e::MakeDirs(dest));

  char* list = ListSourceFolder("plugin\\*.*");
  ASSERT_NE(list, nullptr);
  std::vector<std::string> listed = ListedNames(list);
  HeapFree(GetProcessHeap(), 0, list);
  EXPECT_EQ(listed, SearchOrder(media_ + "plugin"));
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{".", "..", "notes.txt", "readme.txt", "velvor.8bf"}));

  Watch watch;
  char* dir = Destination(dest);
  EXPECT_EQ(CopyComponentFiles(nullptr, "Velvorine Plugin", "plugin\\*.*", dir), 1);
  EXPECT_EQ(watch.dialogs, 1);
  ExpectIdle();
  EXPECT_EQ(std::string(dir), dest + "\\") << "one backslash appended, no file name left";
  EXPECT_EQ(FilesIn(dest), (std::vector<std::string>{"notes.txt", "readme.txt", "velvor.8bf"}));
  for (const char* n : {"velvor.8bf", "readme.txt", "notes.txt"})
    EXPECT_EQ(ReadFileText(dest + "\\" + n), std::string("content of ") + n);

  // Each entry named in turn, the second line with its full destination.
  std::vector<std::pair<int, std::string>> expected;
  for (const std::string& n : SearchOrder(media_ + "plugin")) {
    expected.emplace_back(IDC_COPYFILE, "Copying " + n);
    expected.emplace_back(IDC_COPYDEST, "to " + dest + "\\" + n);
  }
  EXPECT_EQ(watch.texts, expected);
}

TEST_F(CopyFiles, ReplacesExistingFilesBehindATypedBackslashToo) {
  MakeSource("samples", {"canyon.jpg", "sunset.jpg"});
  std::string dest = root_ + "dest";
  ASSERT_TRUE(e2e::MakeDirs(dest));
  ASSERT_TRUE(WriteFileText(dest + "\\canyon.jpg", "an older canyon"));
  ASSERT_TRUE(WriteFileText(dest + "\\kept.txt", "not in the source"));

  char* dir = Destination(dest + "\\");
  EXPECT_EQ(CopyComponentFiles(nullptr, "Sample Files", "samples\\*.*", dir), 1);
  EXPECT_EQ(std::string(dir), dest + "\\\\");
  EXPECT_EQ(ReadFileText(dest + "\\canyon.jpg"), "content of canyon.jpg");
  EXPECT_EQ(ReadFileText(dest + "\\sunset.jpg"), "content of sunset.jpg");
  EXPECT_EQ(ReadFileText(dest + "\\kept.txt"), "not in the source");
}

TEST_F(CopyFiles, NothingToListShowsNoDialogAndLeavesTheDirectory) {
  std::string dest = root_ + "dest";
  ASSERT_TRUE(e2e::MakeDirs(dest));
  {
    Watch watch;
    char* dir = Destination(dest);
    EXPECT_EQ(CopyComponentFiles(nullptr, "On-line Help Files", "help\\*.*", dir), 1);
    EXPECT_EQ(watch.dialogs, 0) << "a missing source folder";
    EXPECT_EQ(std::string(dir), dest);
    ExpectIdle();
  }
  {
    // A setup folder so long that the pattern does not fit behind it: as if missing,
    // and nothing written past the buffer.
    std::string longDir = "C:\\" + std::string(kPathSize - 10, 'm') + "\\";
    ASSERT_LT(longDir.size(), kPathSize);
    ResetInstallerState();
    g_state.instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(TextCopy(g_state.moduleDir, kPathSize, longDir.c_str()));
    g_state.moduleNameSlot = g_state.moduleDir + longDir.size();
    Watch watch;
    char* dir = Destination(dest);
    EXPECT_EQ(ListSourceFolder("plugin\\*.*"), nullptr);
    EXPECT_EQ(CopyComponentFiles(nullptr, "Velvorine Plugin", "plugin\\*.*", dir), 1);
    EXPECT_EQ(watch.dialogs, 0) << "a pattern that does not fit";
    EXPECT_EQ(std::string(g_state.moduleDir), longDir);
    EXPECT_EQ(std::string(dir), dest);
  }
}

TEST_F(CopyFiles, AnEmptyFolderStillOpensTheDialogWhichClosesByItself) {
  MakeSource("help", {});
  std::string dest = root_ + "dest";
  ASSERT_TRUE(e2e::MakeDirs(dest));
  Watch watch;
  char* dir = Destination(dest);
  EXPECT_EQ(CopyComponentFiles(nullptr, "On-line Help Files", "help\\*.*", dir), 1);
  EXPECT_EQ(watch.dialogs, 1);
  EXPECT_EQ(watch.texts.size(), 4u) << "the folder's own two entries named";
  EXPECT_TRUE(FilesIn(dest).empty());
  ExpectIdle();
}

TEST_F(CopyFiles, ANameThatWouldNotFitIsPassedOverAndStillNamedInFull) {
  // A destination so deep that one long name does not fit behind it, a short one does.
  std::string dest = root_ + std::string(kPathSize - 60 - root_.size(), 'd');
  std::string longName = std::string(70, 'n') + ".txt", shortName = "short.txt";
  MakeSource("plugin", {longName, shortName});
  ASSERT_TRUE(e2e::MakeDirs(dest));
  ASSERT_GE(dest.size() + 1 + longName.size(), kPathSize);

  Watch watch;
  char* dir = Destination(dest);
  EXPECT_EQ(CopyComponentFiles(nullptr, "Velvorine Plugin", "plugin\\*.*", dir), 1);
  EXPECT_EQ(FilesIn(dest), (std::vector<std::string>{shortName}));
  EXPECT_EQ(std::string(dir), dest + "\\");
  bool namedInFull = false;
  for (const auto& t : watch.texts) namedInFull |= t.second == "to " + dest + "\\" + longName;
  EXPECT_TRUE(namedInFull) << "the second line shows where the file would have gone";
}

TEST_F(CopyFiles, AFolderOfTwoThousandLongNamesArrivesWhole) {
  std::vector<std::string> names;
  size_t bytes = 0;
  for (int i = 0; i < 2000; ++i) {
    char name[160];
    snprintf(name, sizeof name, "%04d-a-sample-file-with-a-long-descriptive-name-%s.dat", i,
             std::string(60, 'x').c_str());
    names.push_back(name);
    bytes += names.back().size() + 1;
  }
  ASSERT_GT(bytes, 20 * kFileListStart);
  MakeSource("samples", names);
  std::string dest = root_ + "dest";
  ASSERT_TRUE(e2e::MakeDirs(dest));

  char* dir = Destination(dest);
  EXPECT_EQ(CopyComponentFiles(nullptr, "Sample Files", "samples\\*.*", dir), 1);
  std::vector<std::string> arrived = FilesIn(dest);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(arrived.size(), names.size());
  EXPECT_TRUE(arrived == names) << "some files are missing";
  for (size_t i = 0; i < names.size(); i += 97)
    EXPECT_EQ(ReadFileText(dest + "\\" + names[i]), "content of " + names[i]);
  ExpectIdle();
}

// Cancel at random moments, from the dialog's start to past the copy's end. Every time,
// CopyComponentFiles returns only after its worker has ended, the files that arrived are
// whole and are the first ones of the list, and nothing arrives afterwards.
TEST_F(CopyFiles, FiftyCancelsAtRandomMoments) {
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("file" + std::to_string(i) + ".dat");
  MakeSource("plugin", names);
  std::vector<std::string> order;
  for (const std::string& n : SearchOrder(media_ + "plugin"))
    if (n != "." && n != "..") order.push_back(n);

  HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);

  // How long one whole copy takes, to spread the cancels over it.
  double full;
  {
    char* dir = Destination(root_ + "full");
    e2e::MakeDirs(dir);
    DWORD start = GetTickCount();
    CopyComponentFiles(nullptr, "Velvorine Plugin", "plugin\\*.*", dir);
    full = std::max<DWORD>(GetTickCount() - start, 10);
  }
  std::mt19937 random(20240501);
  for (int round = 0; round < 50; ++round) {
    std::string dest = root_ + "round" + std::to_string(round);
    ASSERT_TRUE(e2e::MakeDirs(dest));
    DWORD delayMs = random() % static_cast<unsigned>(full * 1.2);
    int threadsBefore = ThreadsOfThisProcess();
    HANDLE canceller = CreateThread(nullptr, 0, Canceller, &delayMs, 0, nullptr);
    char* dir = Destination(dest);
    EXPECT_EQ(CopyComponentFiles(nullptr, "Velvorine Plugin", "plugin\\*.*", dir), 1);
    std::vector<std::string> afterReturn = FilesIn(dest);
    ASSERT_EQ(WaitForSingleObject(canceller, 10000), WAIT_OBJECT_0);
    CloseHandle(canceller);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore) << "round " << round << ": worker left";
    ExpectIdle();

    // The files that arrived: the first ones of the list, each whole.
    std::vector<std::string> arrived;
    for (const std::string& n : order)
      if (FileExists(dest + "\\" + n)) arrived.push_back(n);
    EXPECT_EQ(arrived, std::vector<std::string>(order.begin(), order.begin() + arrived.size()))
        << "round " << round << ": a later file was copied after an earlier one was not";
    for (const std::string& n : arrived)
      EXPECT_EQ(ReadFileText(dest + "\\" + n), "content of " + n) << "round " << round;
    Sleep(5);
    EXPECT_EQ(FilesIn(dest), afterReturn) << "round " << round << ": copying went on";
    InterlockedIncrement(&g_roundsDone);
  }
  CloseHandle(watchdog);
}

}  // namespace
