// The whole install step (three components, real folders, the real registry, the progress
// dialog and its worker) run once per system call it makes, with that call failing with
// each error it can meet in the field. After every run: nothing installed before is
// damaged or lost, every file arrived or is counted, success is said exactly when all
// arrived, no temporary copy stays, the worker has ended, a value is right or absent.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <set>
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
    case Call::kHeapAlloc: case Call::kHeapReAlloc: case Call::kGetCurrentDirectory:
      return {ERROR_NOT_ENOUGH_MEMORY};
    case Call::kFindNextFile: return {ERROR_NOT_READY, ERROR_ACCESS_DENIED};  // part-way
    case Call::kRegCreateKeyEx: case Call::kRegSetValueEx: return {ERROR_ACCESS_DENIED};
    // Of a file just written or read: "not found" only if removed meanwhile, and then
    // not naming it is right.
    case Call::kGetFileAttributes:
      return {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_NOT_READY};
    default:
      return {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL, ERROR_PATH_NOT_FOUND};
  }
}

// Whether a thread of this process runs the copy worker (by its start address).
bool WorkerRunning() {
  using Query = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  static auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  bool running = false;
  for (BOOL ok = Thread32First(snap, &t); ok && !running; ok = Thread32Next(snap, &t)) {
    if (t.th32OwnerProcessID != GetCurrentProcessId()) continue;
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, t.th32ThreadID);
    void* start = nullptr;  // 9: ThreadQuerySetWin32StartAddress
    if (thread && query(thread, 9, &start, sizeof start, nullptr) == 0)
      running = start == reinterpret_cast<void*>(CopyWorker);
    if (thread) CloseHandle(thread);
  }
  CloseHandle(snap);
  return running;
}

// Answers every message box of this process, Ignore where it offers it, else OK; ends
// the program when a run has not ended in 30 s (a hang), naming it.
volatile LONG g_answering = 1, g_runsDone = 0;
std::string g_run;
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
  for (DWORD seen = g_runsDone, since = GetTickCount(); g_answering; Sleep(2)) {
    EnumWindows(AnswerBox, 0);
    if (seen != static_cast<DWORD>(g_runsDone)) seen = g_runsDone, since = GetTickCount();
    if (GetTickCount() - since > 30000) {
      fprintf(stderr, "no end to the run %s in 30 s\n", g_run.c_str());
      TerminateProcess(GetCurrentProcess(), 3);
    }
  }
  return 0;
}

TEST(FaultInjection, EveryCallFailingInTurnLosesNothingAndSaysWhatDidNotArrive) {
  std::string root = ScratchDir(), media = root + "media\\";
  std::vector<std::string> sources = {"plugin\\velvor.8bf", "plugin\\readme.txt",
                                      "plugin\\filters.dat", "samples\\canyon.jpg",
                                      "samples\\sunset.jpg", "help\\velvor.hlp", "help\\velvor.cnt"};
  for (const std::string& f : sources) {
    MakeDirs(media + f.substr(0, f.find('\\')));
    ASSERT_TRUE(WriteFileText(media + f, "new " + f));
  }
  // The help folder is made by the install; the others hold an earlier install's files
  // (one read-only) and a file of the user's.
  std::string dirs[] = {root + "Plug-ins", root + "Samples", root + "Docs\\Help"};
  auto dest = [&](const std::string& f) {
    return dirs[f[0] == 'p' ? 0 : f[0] == 's' ? 1 : 2] + f.substr(f.find('\\'));
  };
  std::map<std::string, std::set<std::string>> before;  // what each may hold afterwards
  auto prepare = [&] {
    for (const char* d : {"Plug-ins", "Samples", "Docs"}) RemoveTree(root + d);
    DeleteProductKey();
    MakeDirs(dirs[0]);
    MakeDirs(dirs[1]);
    for (const char* f : {"plugin\\velvor.8bf", "plugin\\readme.txt", "samples\\canyon.jpg"}) {
      WriteFileText(dest(f), "old");
      before[dest(f)] = {"old", "new " + std::string(f)};
    }
    SetFileAttributesA(dest("plugin\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileText(dirs[0] + "\\notes.txt", "the user's");
    before[dirs[0] + "\\notes.txt"] = {"the user's"};
  };
  int result = 0;
  auto install = [&] {  // the install step as the wizard takes it; true: success said
    ResetInstallerState();
    g_state.instance = GetModuleHandleA(nullptr);
    EXPECT_TRUE(TextCopy(g_state.moduleDir, media.c_str()));
    g_state.moduleNameSlot = g_state.moduleDir + media.size();
    for (const Component& c : kComponents)
      EXPECT_TRUE(TextCopy(ComponentDirectory(c), kPathSize, dirs[&c - kComponents].c_str()));
    result = InstallSelected(nullptr);
    return result && CompletionText(g_state.messageText, g_state.filesNotInstalled,
                                    g_state.valuesNotWritten, g_state.foldersNotRead);
  };
  auto leftovers = [&] {
    std::vector<std::string> found;
    for (const std::string& d : dirs)
      for (const std::string& n : FilesIn(d))
        if (n.rfind("~vlv", 0) == 0) found.push_back(d + "\\" + n);
    for (const std::string& d : dirs)
      if (DirExists(d + "\\~vlvwork.tmp")) found.push_back(d + "\\~vlvwork.tmp");
    return found;
  };

  HANDLE answerer = CreateThread(nullptr, 0, Answerer, nullptr, 0, nullptr);
  FailingCalls failing;
  prepare();
  ASSERT_TRUE(install()) << "the install without failures";
  std::vector<Call> kinds = failing.kinds;
  int runs = 0, violations = 0;
  std::set<Call> kindsFailed;
  for (size_t n = 1; n <= kinds.size(); ++n) {
    for (DWORD error : ErrorsOf(kinds[n - 1])) {
      g_run = "call " + std::to_string(n) + " " + CallName(kinds[n - 1]) + " error " +
              std::to_string(error);
      prepare();
      failing.Fail(static_cast<long>(n), error);
      bool success = install();
      std::vector<std::string> broken;
      for (const auto& [path, allowed] : before)
        if (!allowed.count(ReadFileText(path))) broken.push_back("(a) " + path + " damaged or lost");
      int missing = 0;
      for (const std::string& f : sources) missing += ReadFileText(dest(f)) != "new " + f;
      std::string param, help;
      bool hasParam = ReadProductValue("ParamDirectory", &param);
      bool hasHelp = ReadProductValue("HelpFile", &help);
      if (result && !g_state.foldersNotRead && missing > g_state.filesNotInstalled)
        broken.push_back("(b) " + std::to_string(missing) + " files missing, " +
                         std::to_string(g_state.filesNotInstalled) + " counted");
      if (result && success != (missing == 0 && hasParam && hasHelp))
        broken.push_back(success ? "(b) success said" : "(b) success not said");
      bool remover = kinds[n - 1] == Call::kDeleteFile ||
                     kinds[n - 1] == Call::kSetFileAttributes ||
                     kinds[n - 1] == Call::kRemoveDirectory;
      for (const std::string& l : leftovers())
        if (!remover) broken.push_back("(c) left " + l);
      if (WorkerRunning()) broken.push_back("(d) the worker is still running");
      if (hasParam && param != dirs[1]) broken.push_back("(e) ParamDirectory " + param);
      if (hasHelp && help != dirs[2] + "\\velvor.hlp") broken.push_back("(e) HelpFile " + help);
      if (!leftovers().empty()) {  // only where the remover failed: the next install's
        failing.Fail(0, 0);
        install();
        for (const std::string& l : leftovers()) broken.push_back("(c) the next install left " + l);
      }
      for (const std::string& b : broken) ADD_FAILURE() << g_run << ": " << b;
      violations += static_cast<int>(broken.size());
      ++runs;
      kindsFailed.insert(kinds[n - 1]);
      InterlockedIncrement(&g_runsDone);
    }
  }
  g_answering = 0;
  WaitForSingleObject(answerer, 5000);
  CloseHandle(answerer);
  DeleteProductKey();
  printf("fault injection: %d injected failures (each of %zu calls with its errors) across %zu "
         "kinds of call, %d invariant violations\n",
         runs, kinds.size(), kindsFailed.size(), violations);
  EXPECT_GE(runs, 100);
  EXPECT_GE(kindsFailed.size(), 8u);
}

}  // namespace
