// The copy of one component: its file list, the progress dialog and the worker thread,
// run in this process against real folders.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/installer_state.h"
#include "app/path_text.h"
#include "app/source_folder.h"
#include "install/component_copy.h"
#include "install/source_list.h"
#include "install/system_calls.h"
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

// Answers the questions that the copy asks in message boxes of this process, one at a
// time, with what answer() returns for the box's text; 0 presses Cancel on the progress
// dialog first and then Retry. Stop() returns the texts asked, in order.
class Answerer {
 public:
  explicit Answerer(std::function<int(const std::string&)> answer)
      : answer_(std::move(answer)) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  }
  ~Answerer() { Stop(); }
  std::vector<std::string> Stop() {
    if (thread_) {
      stop_ = true;
      WaitForSingleObject(thread_, 10000);
      CloseHandle(thread_);
      thread_ = nullptr;
    }
    return asked_;
  }

 private:
  static BOOL CALLBACK FindBox(HWND w, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char title[64] = "";
    GetWindowTextA(w, title, sizeof title);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(w) ||
        strcmp(title, "Velvorine Install") != 0)
      return TRUE;
    *reinterpret_cast<HWND*>(found) = w;
    return FALSE;
  }
  static DWORD WINAPI Run(LPVOID self) {
    auto* a = static_cast<Answerer*>(self);
    while (!a->stop_) {
      HWND box = nullptr;
      EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
      if (!box) {
        Sleep(5);
        continue;
      }
      a->asked_.push_back(e2e::MessageText(box));
      int answer = a->answer_(a->asked_.back());
      HWND dialog = g_state.copyDialog;
      if (answer == 0 && dialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      PostMessageA(box, WM_COMMAND, answer != 0 ? answer : IDRETRY, 0);
      for (int i = 0; i < 2000 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(5);
      if (IsWindow(box) && IsWindowVisible(box)) {
        ADD_FAILURE() << "the question stayed up: " << a->asked_.back();
        return 0;
      }
    }
    return 0;
  }
  std::function<int(const std::string&)> answer_;
  std::vector<std::string> asked_;
  std::atomic<bool> stop_{false};
  HANDLE thread_ = nullptr;
};

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
// a minute, instead of holding the run until its timeout.
volatile LONG g_roundsDone = 0;
DWORD WINAPI Watchdog(LPVOID) {
  for (LONG seen = -1; seen != g_roundsDone;) {
    seen = g_roundsDone;
    Sleep(60000);
  }
  if (g_roundsDone < 50) {
    fprintf(stderr,
            "round %ld of the cancel test has not ended in 60 s: the progress dialog is %s, "
            "the process has %d threads\n",
            g_roundsDone, g_state.copyDialog.load() ? "open" : "closed", ThreadsOfThisProcess());
    TerminateProcess(GetCurrentProcess(), 3);
  }
  return 0;
}

// Presses Cancel on the progress dialog once it is open and *delayMs have passed; nothing
// when the copy has returned before the dialog was seen.
volatile LONG g_copyReturned = 0;
DWORD WINAPI Canceller(LPVOID delayMs) {
  HWND dialog = nullptr;
  for (DWORD start = GetTickCount();
       !(dialog = g_state.copyDialog) && !g_copyReturned && GetTickCount() - start < 60000;)
    Sleep(1);
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

  SourceList list = ListSourceFolder("plugin\\*.*");
  ASSERT_NE(list.names, nullptr);
  std::vector<std::string> listed = ListedNames(list.names);
  HeapFree(GetProcessHeap(), 0, list.names);
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

  // The files named in list order, the first before the dialog appeared and the last
  // before it ended; names between may be passed over while the dialog has not taken the
  // one before. The second line names the directory once. The folder's own entries are
  // not named.
  std::vector<std::string> files;
  for (const std::string& n : SearchOrder(media_ + "plugin"))
    if (n != "." && n != "..") files.push_back("Copying " + n);
  ASSERT_GE(watch.texts.size(), 3u);
  EXPECT_EQ(watch.texts[0], std::make_pair(int{IDC_COPYFILE}, files.front()));
  EXPECT_EQ(watch.texts[1], std::make_pair(int{IDC_COPYDEST}, "to " + dest));
  EXPECT_EQ(watch.texts.back(), std::make_pair(int{IDC_COPYFILE}, files.back()));
  size_t at = 0;
  for (size_t i = 2; i < watch.texts.size(); ++i) {
    EXPECT_EQ(watch.texts[i].first, IDC_COPYFILE);
    while (at < files.size() && files[at] != watch.texts[i].second) ++at;
    EXPECT_LT(at++, files.size()) << watch.texts[i].second << " out of order or twice";
  }
  EXPECT_EQ(g_state.filesNotInstalled, 0);
}

// Existing files are replaced, a read-only one too; an existing file keeps its other
// attributes, and nothing installed is read-only. In a folder so deep that no temporary
// copy fits beside a file, each file is refused and the old one stays.
TEST_F(CopyFiles, ReplacesExistingFilesReadOnlyOnesToo) {
  MakeSource("samples", {"canyon.jpg", "sunset.jpg"});
  for (const char* n : {"canyon.jpg", "sunset.jpg"})
    ASSERT_TRUE(SetFileAttributesA((media_ + "samples\\" + n).c_str(), FILE_ATTRIBUTE_READONLY));
  // 247 characters: "\\canyon.jpg" fits behind it, a temporary name of 12 does not.
  std::string deep = root_ + std::string(kPathSize - 13 - root_.size(), 'd');
  for (const std::string& dest : {root_ + "dest", deep}) {
    SCOPED_TRACE(dest.size());
    bool fits = dest.size() < deep.size();
    Answerer answerer([](const std::string&) { return IDIGNORE; });
    ASSERT_TRUE(e2e::MakeDirs(dest));
    ASSERT_TRUE(WriteFileText(dest + "\\canyon.jpg", "an older canyon"));
    ASSERT_TRUE(SetFileAttributesA((dest + "\\canyon.jpg").c_str(),
                                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    DWORD old = GetFileAttributesA((dest + "\\canyon.jpg").c_str());
    ASSERT_TRUE(WriteFileText(dest + "\\kept.txt", "not in the source"));

    // Typed with a trailing backslash: it receives a second one.
    char* dir = Destination(dest + "\\");
    EXPECT_EQ(CopyComponentFiles(nullptr, "Sample Files", "samples\\*.*", dir), 1);
    EXPECT_EQ(std::string(dir), dest + "\\\\");
    EXPECT_EQ(answerer.Stop().size(), fits ? 0u : 2u);
    EXPECT_EQ(ReadFileText(dest + "\\kept.txt"), "not in the source");
    if (!fits) {
      EXPECT_EQ(ReadFileText(dest + "\\canyon.jpg"), "an older canyon");
      EXPECT_EQ(FilesIn(dest), (std::vector<std::string>{"canyon.jpg", "kept.txt"}));
      continue;
    }
    EXPECT_EQ(ReadFileText(dest + "\\canyon.jpg"), "content of canyon.jpg");
    EXPECT_EQ(ReadFileText(dest + "\\sunset.jpg"), "content of sunset.jpg");
    EXPECT_EQ(GetFileAttributesA((dest + "\\canyon.jpg").c_str()), old & ~FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(GetFileAttributesA((dest + "\\sunset.jpg").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(FilesIn(dest), (std::vector<std::string>{"canyon.jpg", "kept.txt", "sunset.jpg"}))
        << "a temporary file was left";
    EXPECT_EQ(g_state.filesNotInstalled, 0);
  }
}

// The first search's error as each system gives it, whatever stands at the folder's name.
DWORD g_searchError = 0;
HANDLE WINAPI FailedSearch(LPCSTR, LPWIN32_FIND_DATAA) {
  SetLastError(g_searchError);
  return INVALID_HANDLE_VALUE;
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
  // Each system's code for a failed search gives one verdict for what stands there.
  ASSERT_TRUE(WriteFileText(media_ + "samples", "a file, not the folder"));
  ASSERT_TRUE(e2e::MakeDirs(media_ + "plugin"));
  struct Case {
    const char* folder;
    DWORD error;
    FolderFound found;
  };
  const Case cases[] = {
      {"help", ERROR_PATH_NOT_FOUND, FolderFound::kAbsent},
      {"samples", ERROR_DIRECTORY, FolderFound::kAbsent},  // Windows, for a file (Wine's: e2e)
      {"plugin", ERROR_FILE_NOT_FOUND, FolderFound::kEmpty},  // a root without entries
      {"plugin", ERROR_PATH_NOT_FOUND, FolderFound::kUnreadable},  // held by a program
  };
  FolderSearchCalls calls = kSystemFolderSearch;
  calls.findFirst = FailedSearch;
  for (const Case& c : cases) {
    g_searchError = c.error;
    FolderSearch search = SearchSourceFolder(
        (media_ + c.folder + "\\*.*").c_str(), [](const WIN32_FIND_DATAA&) { return DWORD{0}; },
        calls);
    EXPECT_EQ(search.found, c.found) << c.folder << " " << c.error;
    EXPECT_EQ(search.error, c.found == FolderFound::kUnreadable ? c.error : 0)
        << c.folder << " " << c.error;
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
    EXPECT_EQ(ListSourceFolder("plugin\\*.*").names, nullptr);
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
  // No file to name, and never the template's placeholder.
  EXPECT_EQ(watch.texts, (std::vector<std::pair<int, std::string>>{{IDC_COPYFILE, ""},
                                                                   {IDC_COPYDEST, "to " + dest}}));
  EXPECT_TRUE(FilesIn(dest).empty());
  EXPECT_EQ(g_state.filesNotInstalled, 0);
  ExpectIdle();
}

// A subfolder of the media cannot be installed: asked about each time it is tried, with
// Retry, Ignore and Abort, and when the progress dialog is cancelled while the question
// is up, the question goes and the worker ends. Every file that did not arrive counts.
TEST_F(CopyFiles, AnEntryThatCannotBeInstalledIsAskedAbout) {
  std::vector<std::string> names;
  for (int i = 0; i < 6; ++i) names.push_back("file" + std::to_string(i) + ".dat");
  MakeSource("plugin", names);
  ASSERT_TRUE(e2e::MakeDirs(media_ + "plugin\\extras"));
  std::vector<std::string> order;  // the files in search order, the folder among them
  for (const std::string& n : SearchOrder(media_ + "plugin"))
    if (n != "." && n != "..") order.push_back(n);
  size_t folderAt = std::find(order.begin(), order.end(), "extras") - order.begin();
  ASSERT_LT(folderAt, order.size());

  struct Round {
    const char* name;
    std::vector<int> answers;  // to the questions in turn; 0: Cancel on the dialog
    bool restArrives;          // the files after the folder
  };
  const Round rounds[] = {
      {"retry-then-ignore", {IDRETRY, IDIGNORE}, true},
      {"abort", {IDABORT}, false},
      {"cancel-while-asking", {0}, false},
  };
  for (const Round& r : rounds) {
    SCOPED_TRACE(r.name);
    std::string dest = root_ + r.name;
    ASSERT_TRUE(e2e::MakeDirs(dest));
    g_state.filesNotInstalled = 0;
    size_t asked = 0;  // cancel-while-asking: then Retry, which a closed dialog ignores
    int threadsBefore = ThreadsOfThisProcess();
    Answerer answerer([&](const std::string&) {
      int answer = asked < r.answers.size() ? r.answers[asked] : IDIGNORE;
      ++asked;
      return answer;
    });
    char* dir = Destination(dest);
    EXPECT_EQ(CopyComponentFiles(nullptr, "Velvorine Plugin", "plugin\\*.*", dir), 1);
    std::vector<std::string> questions = answerer.Stop();
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore) << "the worker is still running";
    ExpectIdle();

    ASSERT_EQ(questions.size(), r.answers.size());
    for (const std::string& q : questions)
      EXPECT_EQ(q, "Could not install " + dest + "\\extras\n\n" + media_ +
                       "plugin\\extras is a folder; folders are not installed.");
    std::vector<std::string> expected;
    for (size_t i = 0; i < order.size(); ++i)
      if (i != folderAt && (i < folderAt || r.restArrives)) expected.push_back(order[i]);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(dest), expected);
    EXPECT_FALSE(e2e::DirExists(dest + "\\extras")) << "a folder was made";
    EXPECT_EQ(g_state.filesNotInstalled, static_cast<int>(order.size() - expected.size()));
  }
}

// A copy or rename refused by a passing lock, through the install step's table of calls:
// refused the next g_refusals times, then let through. Its waits are counted, not slept;
// the g_cancelAt-th wait presses Cancel and returns once the dialog has gone.
int g_refusals = 0, g_waits = 0, g_cancelAt = 0, g_waitsAfterCancel = 0;
bool Refused() {
  if (g_refusals <= 0) return false;
  --g_refusals;
  SetLastError(ERROR_SHARING_VIOLATION);
  return true;
}
BOOL WINAPI RefusedCopy(LPCSTR s, LPCSTR d, BOOL x) {
  return !Refused() && kSystemCalls.CopyFileA(s, d, x);
}
int g_leftToRestart = 0;
BOOL WINAPI RefusedRename(LPCSTR s, LPCSTR d, DWORD f) {
  if (f & MOVEFILE_DELAY_UNTIL_REBOOT) return ++g_leftToRestart;  // noted, not asked
  return !Refused() && kSystemCalls.MoveFileExA(s, d, f);
}
// A scanner holding every temporary copy: its removal by handle is refused.
BOOL WINAPI RefusedRemoval(HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID b, DWORD n) {
  char path[MAX_PATH * 2] = "";
  const char* name = GetFinalPathNameByHandleA(h, path, sizeof path, 0) ? strrchr(path, '\\') : "";
  if (c == FileDispositionInfo && name && std::string(name).rfind("\\~vlv0", 0) == 0) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  return kSystemCalls.SetFileInformationByHandle(h, c, b, n);
}
void WINAPI CountedWait(DWORD) {
  if (g_cancelAt && g_waits > g_cancelAt) ++g_waitsAfterCancel;
  if (++g_waits != g_cancelAt) return;
  HWND dialog = g_state.copyDialog;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  for (DWORD start = GetTickCount(); g_state.copyDialog && GetTickCount() - start < 60000;)
    Sleep(1);
}

// A lock that passes within the table of waits is waited out without a question; one held
// past it is asked about; a Cancel during the waits ends them at once. A copy that a
// scanner keeps from being removed stays for the restart, and its file counts as not
// installed even when a Retry then places it.
TEST_F(CopyFiles, APassingLockIsWaitedOutAndCancelEndsTheWait) {
  MakeSource("plugin", {"velvor.8bf"});
  struct Case {
    const char* name;
    bool rename;    // else the copy is refused
    int refusals;
    int cancelAt;   // the wait that presses Cancel; 0: none
    bool asked, arrives;
    bool copyHeld = false;  // then Retry, and the file counts as not installed
  };
  const Case cases[] = {
      {"copy refused 4 times", false, 4, 0, false, true},
      {"rename refused 4 times", true, 4, 0, false, true},
      {"copy refused past the waits", false, 1000, 0, true, false},
      {"rename refused past the waits", true, 1000, 0, true, false},
      {"cancel in a copy's wait", false, 1000, 2, false, false},
      {"cancel in a rename's wait", true, 1000, 2, false, false},
      {"a held copy left, then Retry", true, 6, 0, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string dest = root_ + c.name;
    ASSERT_TRUE(e2e::MakeDirs(dest));
    g_state.filesNotInstalled = 0;
    g_refusals = c.refusals;
    g_waits = g_waitsAfterCancel = g_leftToRestart = 0;
    g_cancelAt = c.cancelAt;
    if (c.rename)
      g_system.MoveFileExA = RefusedRename;
    else
      g_system.CopyFileA = RefusedCopy;
    g_system.Sleep = CountedWait;
    if (c.copyHeld) g_system.SetFileInformationByHandle = RefusedRemoval;
    Answerer answerer([&](const std::string&) { return c.copyHeld ? IDRETRY : IDIGNORE; });
    EXPECT_EQ(CopyComponentFiles(nullptr, "Velvorine Plugin", "plugin\\*.*", Destination(dest)), 1);
    std::vector<std::string> questions = answerer.Stop();
    g_system = kSystemCalls;
    EXPECT_EQ(questions.size(), c.asked ? 1u : 0u);
    EXPECT_EQ(FilesIn(dest), c.arrives ? std::vector<std::string>{"velvor.8bf"}
                                       : std::vector<std::string>{});
    // A work folder with a copy left in it stays, marked, for the next install.
    EXPECT_EQ(e2e::FoldersBelow(dest).size(), c.copyHeld ? 1u : 0u);
    EXPECT_EQ(g_state.filesNotInstalled, c.arrives && !c.copyHeld ? 0 : 1);
    EXPECT_EQ(g_leftToRestart, c.copyHeld ? 1 : 0) << "the held copy left to the restart";
    EXPECT_EQ(g_waitsAfterCancel, 0) << "the waits went on after Cancel";
    ExpectIdle();
  }
}

// The media changed after the page measured them: a name that no longer fits behind the
// directory is asked about, the others arrive, and no work folder stays.
TEST_F(CopyFiles, ANameThatNoLongerFitsIsAskedAbout) {
  MakeSource("plugin", {"velvor.8bf", "a-longer-name.txt"});
  std::string dest = root_ + std::string(246 - root_.size(), 'd');
  ASSERT_TRUE(e2e::MakeDirs(dest));
  Answerer answerer([](const std::string&) { return IDIGNORE; });
  EXPECT_EQ(CopyComponentFiles(nullptr, "Velvorine Plugin", "plugin\\*.*", Destination(dest)), 1);
  EXPECT_EQ(answerer.Stop(), std::vector<std::string>{"Could not install " + dest +
                                                      "\\a-longer-name.txt\n\nIts full path is "
                                                      "longer than the 259 characters that a "
                                                      "path may have."});
  EXPECT_EQ(FilesIn(dest), std::vector<std::string>{"velvor.8bf"});
  EXPECT_EQ(e2e::FoldersBelow(dest), std::vector<std::string>{});
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
    g_copyReturned = 0;
    HANDLE canceller = CreateThread(nullptr, 0, Canceller, &delayMs, 0, nullptr);
    char* dir = Destination(dest);
    EXPECT_EQ(CopyComponentFiles(nullptr, "Velvorine Plugin", "plugin\\*.*", dir), 1);
    g_copyReturned = 1;
    std::vector<std::string> afterReturn = FilesIn(dest);
    ASSERT_EQ(WaitForSingleObject(canceller, 30000), WAIT_OBJECT_0);
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
