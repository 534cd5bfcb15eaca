// The whole install step (three components, real folders, the real registry, the progress
// dialog and its worker) run once per system call it makes, with that call failing with
// each error it can meet in the field. After every run: nothing that was installed before
// is damaged or lost, every file arrived or is counted, success is said exactly when all
// arrived, no temporary copy stays, the worker has ended, a value is right or absent.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <string>
#include <vector>

#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/component_copy.h"
#include "install/install_sequence.h"
#include "tests/e2e/driver.h"
#include "tests/unit/failing_calls.h"
#include "wizard/wizard.h"

namespace {

using namespace e2e;

std::vector<DWORD> ErrorsOf(Call call) {
  switch (call) {
    case Call::kHeapAlloc:
    case Call::kHeapReAlloc:
    case Call::kGetCurrentDirectory: return {ERROR_NOT_ENOUGH_MEMORY};
    case Call::kFindNextFile: return {ERROR_NOT_READY, ERROR_ACCESS_DENIED};  // part-way
    // Of a file just written or read: not "not found", unless removed meanwhile (and then
    // not naming it is right).
    case Call::kGetFileAttributes: return {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_NOT_READY};
    case Call::kRegCreateKeyEx:
    case Call::kRegSetValueEx: return {ERROR_ACCESS_DENIED};
    default:
      return {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL, ERROR_PATH_NOT_FOUND};
  }
}

// Whether a thread of this process runs the copy worker (by its start address).
bool WorkerRunning() {
  using QueryThread = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  static auto query = reinterpret_cast<QueryThread>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  bool running = false;
  for (BOOL ok = Thread32First(snap, &t); ok && !running; ok = Thread32Next(snap, &t)) {
    HANDLE thread = t.th32OwnerProcessID == GetCurrentProcessId()
                        ? OpenThread(THREAD_QUERY_INFORMATION, FALSE, t.th32ThreadID)
                        : nullptr;
    void* start = nullptr;
    if (thread && query(thread, 9 /* ThreadQuerySetWin32StartAddress */, &start, sizeof start,
                        nullptr) == 0)
      running = start == reinterpret_cast<void*>(CopyWorker);
    if (thread) CloseHandle(thread);
  }
  CloseHandle(snap);
  return running;
}

// Answers every message box of this process: Ignore where it offers it, else OK.
volatile LONG g_answering = 1;
BOOL CALLBACK AnswerBox(HWND w, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || ClassOf(w) != "#32770" ||
      TextOf(w) == "Installing Files")
    return TRUE;
  PostMessageA(w, WM_COMMAND, GetDlgItem(w, IDIGNORE) ? IDIGNORE : IDOK, 0);
  for (int i = 0; i < 400 && IsWindow(w) && IsWindowVisible(w); ++i) Sleep(5);
  return FALSE;
}
DWORD WINAPI Answerer(LPVOID) {
  while (g_answering) {
    EnumWindows(AnswerBox, 0);
    Sleep(2);
  }
  return 0;
}

// Ends the program, naming the run, when a run has not ended in 30 s: a hang.
volatile LONG g_runsDone = 0;
std::string g_current;
DWORD WINAPI Watchdog(LPVOID) {
  for (LONG seen = -1; seen != g_runsDone;) {
    seen = g_runsDone;
    Sleep(30000);
  }
  if (g_answering) {
    fprintf(stderr, "no end to the run %s in 30 s\n", g_current.c_str());
    TerminateProcess(GetCurrentProcess(), 3);
  }
  return 0;
}

class FaultInjection : public testing::Test {
 protected:
  void SetUp() override {
    root_ = ScratchDir();
    media_ = root_ + "media\\";
    for (const char* f : {"plugin\\velvor.8bf", "plugin\\readme.txt", "plugin\\filters.dat",
                          "samples\\canyon.jpg", "samples\\sunset.jpg", "help\\velvor.hlp",
                          "help\\velvor.cnt"}) {
      MakeDirs(media_ + std::string(f).substr(0, std::string(f).find('\\')));
      ASSERT_TRUE(WriteFileText(media_ + f, std::string("new ") + f));
      sources_.push_back(f);
    }
    dirs_ = {root_ + "Plug-ins", root_ + "Samples", root_ + "Docs\\Help"};
  }
  std::string Dest(const std::string& source) {
    size_t slash = source.find('\\');
    int c = source[0] == 'p' ? 0 : source[0] == 's' ? 1 : 2;
    return dirs_[c] + source.substr(slash);
  }
  // An earlier install's files (one read-only), a file of the user's; no help folder.
  void Prepare() {
    RemoveTree(root_ + "Plug-ins");
    RemoveTree(root_ + "Samples");
    RemoveTree(root_ + "Docs");
    DeleteProductKey();
    before_.clear();
    MakeDirs(dirs_[0]);
    MakeDirs(dirs_[1]);
    for (const char* f : {"plugin\\velvor.8bf", "plugin\\readme.txt", "samples\\canyon.jpg"}) {
      WriteFileText(Dest(f), "old");
      before_[Dest(f)] = {"old", ReadFileText(media_ + f)};
    }
    SetFileAttributesA(Dest("plugin\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileText(dirs_[0] + "\\notes.txt", "the user's");
    before_[dirs_[0] + "\\notes.txt"] = {"the user's", "the user's"};
  }
  // The install step as the wizard takes it; true when it says success.
  bool Install(int* result) {
    ResetInstallerState();
    g_state.instance = GetModuleHandleA(nullptr);
    EXPECT_TRUE(TextCopy(g_state.moduleDir, media_.c_str()));
    g_state.moduleNameSlot = g_state.moduleDir + media_.size();
    EXPECT_TRUE(TextCopy(g_state.pluginDir, dirs_[0].c_str()));
    EXPECT_TRUE(TextCopy(g_state.samplesDir, dirs_[1].c_str()));
    EXPECT_TRUE(TextCopy(g_state.helpDir, dirs_[2].c_str()));
    *result = InstallSelected(nullptr);
    return *result && CompletionText(g_state.messageText, g_state.filesNotInstalled,
                                     g_state.valuesNotWritten, g_state.foldersNotRead);
  }
  std::vector<std::string> Leftovers() {
    std::vector<std::string> found;
    for (const std::string& d : dirs_)
      for (const std::string& n : FilesIn(d))
        if (n.rfind("~vlv", 0) == 0) found.push_back(d + "\\" + n);
    return found;
  }
  // The broken invariants of the run just made, each named.
  std::vector<std::string> Violations(int result, bool success, Call failedCall) {
    std::vector<std::string> v;
    for (const auto& [path, texts] : before_) {
      std::string now = ReadFileText(path);
      if (now != texts.first && now != texts.second) v.push_back("(a) " + path + " damaged or lost");
    }
    int missing = 0;
    for (const std::string& s : sources_) missing += ReadFileText(Dest(s)) != ReadFileText(media_ + s);
    std::string param, help;
    bool hasParam = ReadProductValue("ParamDirectory", &param);
    bool hasHelp = ReadProductValue("HelpFile", &help);
    if (result && missing > g_state.filesNotInstalled && !g_state.foldersNotRead)
      v.push_back("(b) " + std::to_string(missing) + " files missing, " +
                  std::to_string(g_state.filesNotInstalled) + " counted");
    bool whole = missing == 0 && hasParam && hasHelp;
    if (result && success != whole) v.push_back(success ? "(b) success said" : "(b) success not said");
    bool remover = failedCall == Call::kDeleteFile || failedCall == Call::kSetFileAttributes;
    for (const std::string& l : Leftovers())
      if (!remover) v.push_back("(c) left " + l);
    if (WorkerRunning()) v.push_back("(d) the worker is still running");
    if (hasParam && param != dirs_[1]) v.push_back("(e) ParamDirectory " + param);
    if (hasHelp && help != dirs_[2] + "\\velvor.hlp") v.push_back("(e) HelpFile " + help);
    return v;
  }
  std::string root_, media_;
  std::vector<std::string> sources_, dirs_;
  std::map<std::string, std::pair<std::string, std::string>> before_;  // old, or source's
};

TEST_F(FaultInjection, EveryCallFailingInTurnLosesNothingAndSaysWhatDidNotArrive) {
  HANDLE answerer = CreateThread(nullptr, 0, Answerer, nullptr, 0, nullptr);
  HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
  FailingCalls failing;
  Prepare();
  int result = 0;
  ASSERT_TRUE(Install(&result)) << "the install without failures";
  long count = failing.calls();
  std::vector<Call> kinds;
  for (long n = 1; n <= count; ++n) kinds.push_back(failing.kindOf(n));
  int runs = 0, violations = 0;
  std::map<Call, int> failedKinds;
  for (long n = 1; n <= count; ++n) {
    for (DWORD error : ErrorsOf(kinds[n - 1])) {
      g_current = "call " + std::to_string(n) + " " + CallName(kinds[n - 1]) + " error " +
                  std::to_string(error);
      Prepare();
      failing.Fail(n, error);
      bool success = Install(&result);
      std::vector<std::string> broken = Violations(result, success, kinds[n - 1]);
      if (!Leftovers().empty()) {  // only where the remover failed: the next install's
        failing.Fail(0, 0);
        Install(&result);
        for (const std::string& l : Leftovers()) broken.push_back("(c) the next install left " + l);
      }
      for (const std::string& b : broken) ADD_FAILURE() << g_current << ": " << b;
      violations += static_cast<int>(broken.size());
      ++runs;
      ++failedKinds[kinds[n - 1]];
      InterlockedIncrement(&g_runsDone);
    }
  }
  g_answering = 0;
  WaitForSingleObject(answerer, 5000);
  CloseHandle(answerer);
  CloseHandle(watchdog);
  DeleteProductKey();
  printf("fault injection: %d injected failures (each of %ld calls with its errors) across %zu "
         "kinds of call, %d invariant violations\n",
         runs, count, failedKinds.size(), violations);
  EXPECT_GE(runs, 100);
  EXPECT_GE(failedKinds.size(), 8u);
}

}  // namespace
