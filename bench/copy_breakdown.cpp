// Where the copy of small files spends its time, measured inside one process under Wine:
//   copy_breakdown.exe [files] [runs]
// Per entry, as medians over interleaved runs:
//   - a bare CopyFileA loop into an empty folder;
//   - the real CopyComponentFiles (list, progress dialog, worker, status lines, copies);
//   - the real CopyComponentFiles again over the files it installed: each one replaced
//     through a temporary copy beside it;
//   - a side thread sending to the real IDD_COPYING what the worker sends, without
//     copying: one SetDlgItemTextA (the file's name) on the shown dialog (text and
//     repaint), one on the dialog while hidden (text only: a hidden static is not
//     repainted), and one empty cross-thread send.
// Then the install step's fixed cost, with the real InstallSelected (alone when the third
// argument is "fixed"):
//   - one component of one file, as a timeline of its moments (medians of the runs), seen
//     from outside the program's code: its file, folder and registry calls through the
//     system-call table, the progress dialog's creation, first paint and end through
//     window hooks, the worker's start and end through a thread callback of this image;
//   - three components, 250 + 1 + 1 files, against a bare CopyFileA loop into three
//     folders (the folders made by the loop as by the install).
// And, alone when the third argument is "calls": reinstalls of the files, the real
// CopyComponentFiles over its own previous install against the floor loop over its own,
// interleaved, with each file and folder call of both counted and timed: the calls per file
// and their cost, the processor time (of it the user-interface thread's, which shows the
// file names), and each run's time (the first reinstall, then the later ones).
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "app/backdrop.h"
#include "bench/bench_root.h"
#include "app/center_window.h"
#include "app/installer_state.h"
#include "install/component_copy.h"
#include "install/install_sequence.h"
#include "install/system_calls.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using e2e::MakeDirs;
using e2e::RemoveTree;
using e2e::WriteFileOfSize;

const std::string kRoot = BenchRoot() + "breakdown\\";
enum SideMode { kTextsShown, kTextsHidden, kEmptySends };
int g_entries = 1000;
SideMode g_mode = kTextsShown;
HWND g_dialog = nullptr;

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) / double(f.QuadPart);
}

// media\files holds the files: made afresh for the count.
std::vector<std::string> MakeSource(int count) {
  std::string media = std::string(kRoot) + "media\\";
  RemoveTree(media);
  MakeDirs(media + "files");
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char name[64];
    snprintf(name, sizeof name, "file%05d.dat", i);
    names.push_back(name);
    WriteFileOfSize(media + "files\\" + name, 4096);
  }
  return names;
}

std::string FreshDest(const char* tag) {
  std::string d = std::string(kRoot) + "dest-" + tag;
  RemoveTree(d);
  MakeDirs(d);
  return d;
}

double BareLoop(const std::vector<std::string>& names) {
  std::string src = std::string(kRoot) + "media\\files\\", dst = FreshDest("loop") + "\\";
  double t = Now();
  for (const std::string& n : names) CopyFileA((src + n).c_str(), (dst + n).c_str(), FALSE);
  return Now() - t;
}

// Into an empty folder, or over the files of the run before.
double RealCopy(bool over) {
  std::string dst = over ? std::string(kRoot) + "dest-real" : FreshDest("real");
  snprintf(g_state.pluginDir, kPathSize, "%s", dst.c_str());
  double t = Now();
  CopyComponentFiles(nullptr, "Velvorine Plugin", "files\\*.*", g_state.pluginDir);
  return Now() - t;
}

// Sends to the dialog what the worker sends, without copying anything.
DWORD WINAPI SideThread(LPVOID) {
  char text[300];
  for (int i = 0; i < g_entries; ++i) {
    if (g_mode == kEmptySends) {
      SendMessageA(g_dialog, WM_NULL, 0, 0);
      continue;
    }
    snprintf(text, sizeof text, "Copying file%05d.dat", i);
    SetDlgItemTextA(g_dialog, IDC_COPYFILE, text);
  }
  return 0;
}

INT_PTR CALLBACK SideProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

// The user-interface side as in the copy: this thread handles the dialog's messages
// until the side thread has ended.
double Sends(SideMode mode) {
  g_mode = mode;
  g_dialog = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_COPYING), nullptr,
                                SideProc, 0);
  CenterWindow(g_dialog);
  if (mode != kTextsHidden) ShowWindow(g_dialog, SW_SHOW);
  UpdateWindow(g_dialog);
  double t = Now();
  HANDLE side = CreateThread(nullptr, 0, SideThread, nullptr, 0, nullptr);
  while (MsgWaitForMultipleObjects(1, &side, FALSE, INFINITE, QS_ALLINPUT) ==
         WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  t = Now() - t;
  CloseHandle(side);
  DestroyWindow(g_dialog);
  return t;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The moments of one component's install, in the order they are expected.
enum Moment {
  kListingBegins,      // its source folder searched (the directory made before)
  kDialogCreating,     // the progress dialog's window being created (listing done)
  kDialogInit,         // its WM_INITDIALOG (the dialog and its controls made)
  kWorkerStarts,       // the worker thread begins
  kDialogInitDone,     // WM_INITDIALOG returned (texts set, worker started)
  kSweepBegins,        // the worker's first call: leftover temporary copies looked for
  kWorkFolderMade,     // the work folder created
  kCopyBegins,         // the file's CopyFileA
  kFilePlaced,         // its rename into place returned
  kWorkFolderRemoved,  // the work folder removed
  kWorkerEnds,         // the worker thread ends
  kDialogShown,        // the dialog's WM_SHOWWINDOW: it is being shown
  kDialogPaint,        // the first paint of the dialog or a control
  kDialogEnding,       // the worker's WM_COMMAND taken from the queue: EndDialog follows
  kOwnerActivated,     // the backdrop active again (the dialog hidden)
  kDialogDestroyed,    // the dialog's WM_DESTROY
  kRegistryBegins,     // the product key opened (the copy step has returned)
  kRegistryWritten,    // the value written
  kMomentCount
};
const char* const kMomentNames[kMomentCount] = {
    "listing begins (directory made)", "progress dialog creation begins",
    "dialog's WM_INITDIALOG", "worker thread starts", "WM_INITDIALOG returned",
    "worker: leftover sweep begins", "worker: work folder made", "worker: CopyFileA begins",
    "worker: file renamed into place", "worker: work folder removed", "worker thread ends",
    "dialog shown", "first paint of the dialog", "worker's IDOK taken from the queue",
    "backdrop active again", "dialog destroyed", "registry: key opened",
    "registry: value written",
};

// Counter values of the run in progress, each the first time it happens; 0 until then.
std::atomic<LONGLONG> g_moment[kMomentCount];
bool g_timing = false;
double g_start = 0;  // Now() at the call of InstallSelected
DWORD g_uiThread = 0;
HWND g_copyDialog = nullptr;
// The owner of the install step's windows: the backdrop, maximized, as in setup.exe.
HWND g_backdrop = nullptr;

void Note(Moment m) {
  if (!g_timing) return;
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  LONGLONG none = 0;
  g_moment[m].compare_exchange_strong(none, c.QuadPart);
}

bool OnUiThread() { return GetCurrentThreadId() == g_uiThread; }

// Counter ticks spent in the copies and in the renames of the run in progress.
std::atomic<LONGLONG> g_copyTicks{0}, g_renameTicks{0};
LONGLONG Ticks() {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return c.QuadPart;
}

// The system-call table's entries that mark moments, each calling the system's own.
HANDLE WINAPI TimedFindFirstFileA(LPCSTR name, LPWIN32_FIND_DATAA data) {
  Note(OnUiThread() ? kListingBegins : kSweepBegins);
  return kSystemCalls.FindFirstFileA(name, data);
}
BOOL WINAPI TimedCreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  BOOL made = kSystemCalls.CreateDirectoryA(path, security);
  if (!OnUiThread()) Note(kWorkFolderMade);
  return made;
}
BOOL WINAPI TimedCopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists) {
  Note(kCopyBegins);
  LONGLONG start = Ticks();
  BOOL copied = kSystemCalls.CopyFileA(from, to, failIfExists);
  g_copyTicks += Ticks() - start;
  return copied;
}
BOOL WINAPI TimedMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  LONGLONG start = Ticks();
  BOOL moved = kSystemCalls.MoveFileExA(from, to, flags);
  g_renameTicks += Ticks() - start;
  Note(kFilePlaced);
  return moved;
}
// The work folder goes by handle: its marker's removal, then its own.
BOOL WINAPI TimedSetFileInformationByHandle(HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID b,
                                            DWORD n) {
  BOOL done = kSystemCalls.SetFileInformationByHandle(h, c, b, n);
  if (c == FileDispositionInfo) Note(kWorkFolderRemoved);
  return done;
}
LSTATUS WINAPI TimedRegCreateKeyExA(HKEY key, LPCSTR sub, DWORD reserved, LPSTR cls,
                                    DWORD options, REGSAM sam, LPSECURITY_ATTRIBUTES sa,
                                    PHKEY result, LPDWORD disposition) {
  Note(kRegistryBegins);
  return kSystemCalls.RegCreateKeyExA(key, sub, reserved, cls, options, sam, sa, result,
                                      disposition);
}
LSTATUS WINAPI TimedRegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                   const BYTE* data, DWORD size) {
  LSTATUS status = kSystemCalls.RegSetValueExA(key, name, reserved, type, data, size);
  Note(kRegistryWritten);
  return status;
}

// Window hooks on the user-interface thread: the progress dialog's life.
LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    if (!g_copyDialog) {
      char cls[16] = "";
      GetClassNameA(reinterpret_cast<HWND>(wParam), cls, sizeof cls);
      if (strcmp(cls, "#32770") == 0) {
        g_copyDialog = reinterpret_cast<HWND>(wParam);
        Note(kDialogCreating);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
LRESULT CALLBACK CallHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->hwnd == g_copyDialog && g_copyDialog) {
    if (call->message == WM_INITDIALOG) Note(kDialogInit);
    if (call->message == WM_SHOWWINDOW && call->wParam) Note(kDialogShown);
    if (call->message == WM_DESTROY) Note(kDialogDestroyed);
  }
  if (code == HC_ACTION && call->hwnd == g_backdrop && g_copyDialog &&
      call->message == WM_ACTIVATE && LOWORD(call->wParam) != WA_INACTIVE)
    Note(kOwnerActivated);
  if (code == HC_ACTION && call->message == WM_PAINT && g_copyDialog &&
      (call->hwnd == g_copyDialog || GetParent(call->hwnd) == g_copyDialog))
    Note(kDialogPaint);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
LRESULT CALLBACK ReturnHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* call = reinterpret_cast<CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && call->hwnd == g_copyDialog && g_copyDialog &&
      call->message == WM_INITDIALOG)
    Note(kDialogInitDone);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
LRESULT CALLBACK QueueHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* msg = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && msg->message == WM_PAINT && g_copyDialog &&
      (msg->hwnd == g_copyDialog || GetParent(msg->hwnd) == g_copyDialog))
    Note(kDialogPaint);
  if (code == HC_ACTION && msg->message == WM_COMMAND && g_copyDialog && msg->hwnd == g_copyDialog)
    Note(kDialogEnding);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Every thread of this process passes here as it starts and ends (a TLS callback).
void NTAPI ThreadCallback(PVOID, DWORD reason, PVOID) {
  if (OnUiThread()) return;
  if (reason == DLL_THREAD_ATTACH) Note(kWorkerStarts);
  if (reason == DLL_THREAD_DETACH) Note(kWorkerEnds);
}
extern "C" __attribute__((section(".CRT$XLF"), used))
const PIMAGE_TLS_CALLBACK g_threadCallback = ThreadCallback;

// "plugin" of "plugin\\*.*".
std::string SourceFolder(int c) {
  std::string pattern = kComponents[c].sourcePattern;
  return pattern.substr(0, pattern.find('\\'));
}

const char kFixedRoot[] = "C:\\velvor-bench\\fixed\\";

// media\plugin, samples and help with the given numbers of 4 KiB files.
void MakeFixedMedia(const int (&counts)[kComponentCount]) {
  std::string media = std::string(kFixedRoot) + "media\\";
  RemoveTree(media);
  for (int c = 0; c < kComponentCount; ++c) {
    std::string folder = media + SourceFolder(c);
    MakeDirs(folder);
    for (int i = 0; i < counts[c]; ++i) {
      char name[64];
      snprintf(name, sizeof name, "\\file%05d.dat", i);
      WriteFileOfSize(folder + name, 4096);
    }
  }
  snprintf(g_state.moduleDir, kPathSize, "%s", media.c_str());
  g_state.moduleNameSlot = g_state.moduleDir + strlen(g_state.moduleDir);
}

LRESULT CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PaintBackdrop(window);
  return 0;
}

void ShowBackdrop() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = BackdropProc;
  wc.hInstance = g_state.instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "BenchBackdrop";
  RegisterClassA(&wc);
  g_backdrop = CreateWindowExA(0, "BenchBackdrop", "Velvorine Install", WS_POPUP, 0, 0, 100,
                               100, nullptr, nullptr, g_state.instance, nullptr);
  ShowWindow(g_backdrop, SW_SHOWMAXIMIZED);
  UpdateWindow(g_backdrop);
}

// The real install step into fresh folders dest-<component>, for the components whose
// count is not 0. Seconds.
double RealInstall(const int (&counts)[kComponentCount]) {
  for (int c = 0; c < kComponentCount; ++c) {
    std::string dest = std::string(kFixedRoot) + "dest-" + std::to_string(c);
    RemoveTree(dest);
    ComponentWanted(kComponents[c]) = counts[c] > 0;
    snprintf(ComponentDirectory(kComponents[c]), kPathSize, "%s", dest.c_str());
  }
  for (auto& m : g_moment) m = 0;
  g_copyTicks = g_renameTicks = 0;
  g_copyDialog = nullptr;
  g_timing = true;
  double t = g_start = Now();
  InstallSelected(g_backdrop);
  t = Now() - t;
  g_timing = false;
  e2e::DeleteProductKey();
  return t;
}

// The same files copied by a bare loop into fresh folders, each made first.
double BareInstall(const int (&counts)[kComponentCount]) {
  std::string media = std::string(kFixedRoot) + "media\\";
  for (int c = 0; c < kComponentCount; ++c)
    RemoveTree(std::string(kFixedRoot) + "dest-" + std::to_string(c));
  double t = Now();
  for (int c = 0; c < kComponentCount; ++c) {
    if (!counts[c]) continue;
    std::string dest = std::string(kFixedRoot) + "dest-" + std::to_string(c) + "\\";
    CreateDirectoryA(dest.c_str(), nullptr);
    std::string src = media + SourceFolder(c) + "\\";
    for (int i = 0; i < counts[c]; ++i) {
      char name[64];
      snprintf(name, sizeof name, "file%05d.dat", i);
      CopyFileA((src + name).c_str(), (dest + name).c_str(), FALSE);
    }
  }
  return Now() - t;
}

// One component's moments over runs, printed in the order they came.
void Timeline(const int (&counts)[kComponentCount], int runs) {
  std::vector<double> whole, bare, at[kMomentCount];
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  for (int r = 0; r < runs; ++r) {
    whole.push_back(RealInstall(counts));
    for (int m = 0; m < kMomentCount; ++m)
      if (g_moment[m]) at[m].push_back(double(g_moment[m]) / double(f.QuadPart) - g_start);
    bare.push_back(BareInstall(counts));
  }
  struct Row {
    double at;
    int moment;
  };
  std::vector<Row> rows;
  // A moment of only some runs (the dialog is shown once the user-interface thread is
  // idle, which a short copy may never leave it) is said with its count.
  for (int m = 0; m < kMomentCount; ++m)
    if (at[m].size() * 2 > size_t(runs)) rows.push_back({Median(at[m]) * 1e3, m});
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.at < b.at; });
  double before = 0;
  for (const Row& row : rows) {
    printf("  %-40s %8.2f  (+%.2f)\n", kMomentNames[row.moment], row.at, row.at - before);
    before = row.at;
  }
  for (int m = 0; m < kMomentCount; ++m)
    if (!at[m].empty() && at[m].size() * 2 <= size_t(runs))
      printf("  %-40s in %zu of %d runs, at %.2f\n", kMomentNames[m], at[m].size(), runs,
             Median(at[m]) * 1e3);
  printf("  %-40s %8.2f  (+%.2f)\n", "InstallSelected returned", Median(whole) * 1e3,
         Median(whole) * 1e3 - before);
  printf("  %-40s %8.2f\n", "bare loop: folder made, one CopyFileA", Median(bare) * 1e3);
}

// Every file and folder call of the system-call table, counted and timed: which calls a
// reinstall makes per file, and what each costs.
enum Call {
  kCopy, kMove, kGetAttributes, kSetAttributes, kCreateFile, kFindFirst, kMakeFolder,
  kRemoveFolder, kCallCount
};
const char* const kCallNames[kCallCount] = {
    "CopyFileA", "MoveFileExA", "GetFileAttributesA", "SetFileAttributesA", "CreateFileA",
    "FindFirstFileA", "CreateDirectoryA", "RemoveDirectoryA"};
std::atomic<LONGLONG> g_callCount[kCallCount], g_callTicks[kCallCount];

// Runs call, adding one to kind's count and its time to kind's ticks.
template <typename F>
auto Counted(Call kind, F call) {
  LONGLONG start = Ticks();
  auto result = call();
  g_callTicks[kind] += Ticks() - start;
  ++g_callCount[kind];
  return result;
}
BOOL WINAPI CountedCopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists) {
  return Counted(kCopy, [&] { return kSystemCalls.CopyFileA(from, to, failIfExists); });
}
BOOL WINAPI CountedMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  return Counted(kMove, [&] { return kSystemCalls.MoveFileExA(from, to, flags); });
}
DWORD WINAPI CountedGetFileAttributesA(LPCSTR path) {
  return Counted(kGetAttributes, [&] { return kSystemCalls.GetFileAttributesA(path); });
}
BOOL WINAPI CountedSetFileAttributesA(LPCSTR path, DWORD attributes) {
  return Counted(kSetAttributes, [&] { return kSystemCalls.SetFileAttributesA(path, attributes); });
}
HANDLE WINAPI CountedCreateFileA(LPCSTR path, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE model) {
  return Counted(kCreateFile, [&] {
    return kSystemCalls.CreateFileA(path, access, share, security, disposition, flags, model);
  });
}
HANDLE WINAPI CountedFindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  return Counted(kFindFirst, [&] { return kSystemCalls.FindFirstFileA(pattern, data); });
}
BOOL WINAPI CountedCreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  return Counted(kMakeFolder, [&] { return kSystemCalls.CreateDirectoryA(path, security); });
}
BOOL WINAPI CountedRemoveDirectoryA(LPCSTR path) {  // the floor's; setup removes by handle
  return Counted(kRemoveFolder, [&] { return RemoveDirectoryA(path); });
}

void ClearCallCounts() {
  for (int k = 0; k < kCallCount; ++k) g_callCount[k] = g_callTicks[k] = 0;
}

// The floor loop over its own previous install in dest-floor: each file copied to a new
// name in a folder of its own, then renamed over the file, through the counted calls.
double FloorReinstall(const std::vector<std::string>& names) {
  std::string src = std::string(kRoot) + "media\\files\\", dst = std::string(kRoot) + "dest-floor\\";
  std::string work = dst + "~floor";
  double t = Now();
  CreateDirectoryA(dst.c_str(), nullptr);
  g_system.CreateDirectoryA(work.c_str(), nullptr);
  int number = 0;
  for (const std::string& n : names) {
    std::string temp = work + "\\" + std::to_string(number++) + ".tmp";
    if (g_system.CopyFileA((src + n).c_str(), temp.c_str(), TRUE))
      g_system.MoveFileExA(temp.c_str(), (dst + n).c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  CountedRemoveDirectoryA(work.c_str());
  return Now() - t;
}

// Reinstalls, the real copy and the floor each over its own previous install, interleaved;
// the calls of each per file and their cost, and the time of each run.
void ReinstallCalls(const std::vector<std::string>& names, int runs) {
  g_system.CopyFileA = CountedCopyFileA;
  g_system.MoveFileExA = CountedMoveFileExA;
  g_system.GetFileAttributesA = CountedGetFileAttributesA;
  g_system.SetFileAttributesA = CountedSetFileAttributesA;
  g_system.CreateFileA = CountedCreateFileA;
  g_system.FindFirstFileA = CountedFindFirstFileA;
  g_system.CreateDirectoryA = CountedCreateDirectoryA;
  RemoveTree(std::string(kRoot) + "dest-floor");
  RealCopy(false);  // the installs that the runs replace, not timed
  FloorReinstall(names);
  enum { kReal, kFloor, kMethods };
  std::vector<double> time[kMethods];
  std::vector<double> count[kMethods][kCallCount], cost[kMethods][kCallCount];
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  // Processor time of this thread (the user-interface thread of the real copy, which runs
  // its dialog) and of the whole process, in seconds.
  auto cpu = [](bool process) {
    FILETIME created, ended, kernel, user;
    if (process ? !GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)
                : !GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user))
      return 0.0;
    auto seconds = [](FILETIME t) {
      return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
  };
  std::vector<double> uiCpu[kMethods], allCpu[kMethods];
  for (int r = 0; r < runs; ++r) {
    for (int m = 0; m < kMethods; ++m) {
      ClearCallCounts();
      double ui = cpu(false), all = cpu(true);
      time[m].push_back(m == kReal ? RealCopy(true) : FloorReinstall(names));
      uiCpu[m].push_back(cpu(false) - ui);
      allCpu[m].push_back(cpu(true) - all);
      for (int k = 0; k < kCallCount; ++k) {
        count[m][k].push_back(double(g_callCount[k]));
        cost[m][k].push_back(double(g_callTicks[k]) / double(f.QuadPart));
      }
    }
  }
  g_system = kSystemCalls;
  double n = double(names.size());
  printf("Reinstall of %zu files of 4 KiB, each method over its own previous install, %d "
         "interleaved runs;\nper file: calls, and microseconds in them (medians):\n\n",
         names.size(), runs);
  printf("  %-20s %14s %14s\n", "", "CopyComponentFiles", "floor loop");
  printf("  %-20s %6s %7s %6s %7s\n", "call", "calls", "us", "calls", "us");
  for (int k = 0; k < kCallCount; ++k) {
    if (Median(count[kReal][k]) == 0 && Median(count[kFloor][k]) == 0) continue;
    printf("  %-20s %6.3f %7.1f %6.3f %7.1f\n", kCallNames[k], Median(count[kReal][k]) / n,
           Median(cost[kReal][k]) / n * 1e6, Median(count[kFloor][k]) / n,
           Median(cost[kFloor][k]) / n * 1e6);
  }
  printf("  %-20s %14.1f %14.1f  (%.2fx the floor)\n", "whole run, us per file",
         Median(time[kReal]) / n * 1e6, Median(time[kFloor]) / n * 1e6,
         Median(time[kReal]) / Median(time[kFloor]));
  // New files cost more as the runs go on when the file system passes over the numbers of
  // files it removed a moment ago: that shows in the copies (each makes a file), not in the
  // renames.
  printf("  %-20s %14.1f %14.1f\n", "processor, us per file", Median(allCpu[kReal]) / n * 1e6,
         Median(allCpu[kFloor]) / n * 1e6);
  printf("  %-20s %14.1f %14.1f\n", "  of it the UI thread", Median(uiCpu[kReal]) / n * 1e6,
         Median(uiCpu[kFloor]) / n * 1e6);
  printf("\n  each run: ms, then us per file in CopyFileA and MoveFileExA\n");
  printf("  %-13s %8s %8s %6s %8s %8s %8s %8s\n", "", "real", "floor", "ratio", "copy",
         "floor's", "rename", "floor's");
  for (int r = 0; r < runs; ++r)
    printf("  reinstall %-3d %8.1f %8.1f %5.2fx %8.1f %8.1f %8.1f %8.1f\n", r + 1,
           time[kReal][r] * 1e3, time[kFloor][r] * 1e3, time[kReal][r] / time[kFloor][r],
           cost[kReal][kCopy][r] / n * 1e6, cost[kFloor][kCopy][r] / n * 1e6,
           cost[kReal][kMove][r] / n * 1e6, cost[kFloor][kMove][r] / n * 1e6);
  RemoveTree(std::string(kRoot) + "dest-real");
  RemoveTree(std::string(kRoot) + "dest-floor");
}

// The fixed cost of the install step: one component of one file as a timeline, and
// three components of 252 files against the bare loop.
void FixedCosts(int runs) {
  g_uiThread = GetCurrentThreadId();
  ShowBackdrop();
  HHOOK hooks[] = {
      SetWindowsHookExA(WH_CBT, CreationHook, nullptr, g_uiThread),
      SetWindowsHookExA(WH_CALLWNDPROC, CallHook, nullptr, g_uiThread),
      SetWindowsHookExA(WH_CALLWNDPROCRET, ReturnHook, nullptr, g_uiThread),
      SetWindowsHookExA(WH_GETMESSAGE, QueueHook, nullptr, g_uiThread),
  };
  g_system.FindFirstFileA = TimedFindFirstFileA;
  g_system.CreateDirectoryA = TimedCreateDirectoryA;
  g_system.CopyFileA = TimedCopyFileA;
  g_system.MoveFileExA = TimedMoveFileExA;
  g_system.SetFileInformationByHandle = TimedSetFileInformationByHandle;
  g_system.RegCreateKeyExA = TimedRegCreateKeyExA;
  g_system.RegSetValueExA = TimedRegSetValueExA;

  const int one[kComponentCount] = {0, 1, 0};  // the samples: it writes a value
  MakeFixedMedia(one);
  RealInstall(one);  // warm
  printf("\nOne component of one 4 KiB file (the samples, with ParamDirectory), InstallSelected,"
         "\nms from its call, medians of %d runs; (+ms) after the moment above.\n", runs);
  printf("With window hooks for the dialog's moments, each message costing a call to the Wine"
         "\nserver:\n");
  Timeline(one, runs);
  for (HHOOK hook : hooks)
    if (hook) UnhookWindowsHookEx(hook);
  printf("Without them, as the program runs (the dialog between the listing and the worker):\n");
  Timeline(one, runs);

  const int three[kComponentCount] = {1, 250, 1};
  MakeFixedMedia(three);
  std::vector<double> whole, bare, copies, renames;
  BareInstall(three);  // warm
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  for (int r = 0; r < runs; ++r) {
    whole.push_back(RealInstall(three));
    copies.push_back(double(g_copyTicks) / double(f.QuadPart));
    renames.push_back(double(g_renameTicks) / double(f.QuadPart));
    bare.push_back(BareInstall(three));
  }
  printf("\nThree components (1 plug-in file, 250 samples, 1 help file), InstallSelected against"
         "\nthe bare loop, medians of %d runs: %.1f ms against %.1f ms, %.2fx\n"
         "  of the install: %.1f ms in its CopyFileA calls, %.1f ms in its renames\n",
         runs, Median(whole) * 1e3, Median(bare) * 1e3, Median(whole) / Median(bare),
         Median(copies) * 1e3, Median(renames) * 1e3);
  DestroyWindow(g_backdrop);
  g_system = kSystemCalls;
  RemoveTree(std::string(kFixedRoot));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) g_entries = atoi(argv[1]);
  int runs = argc > 2 ? atoi(argv[2]) : 5;
  g_state.instance = GetModuleHandleA(nullptr);
  std::vector<std::string> names = MakeSource(g_entries);
  snprintf(g_state.moduleDir, kPathSize, "%smedia\\", kRoot.c_str());
  g_state.moduleNameSlot = g_state.moduleDir + strlen(g_state.moduleDir);

  if (argc > 3 && strcmp(argv[3], "calls") == 0) {
    ReinstallCalls(names, runs);
    return 0;
  }
  if (argc > 3 && strcmp(argv[3], "fixed") == 0) {
    FixedCosts(runs);
    return 0;
  }
  enum { kLoop, kReal, kReplace, kShown, kHidden, kEmpty, kCount };
  std::vector<double> t[kCount];
  BareLoop(names);  // warm the cache
  for (int r = 0; r < runs; ++r) {  // interleaved, so that a busy moment hits all alike
    t[kLoop].push_back(BareLoop(names));
    t[kReal].push_back(RealCopy(false));
    t[kReplace].push_back(RealCopy(true));
    t[kShown].push_back(Sends(kTextsShown));
    t[kHidden].push_back(Sends(kTextsHidden));
    t[kEmpty].push_back(Sends(kEmptySends));
  }
  double n = g_entries, loop = Median(t[kLoop]);
  auto row = [&](const char* what, int k) {
    double m = Median(t[k]);
    printf("  %-56s %8.1f us  %5.2fx loop\n", what, m / n * 1e6, m / loop);
  };
  printf("Copy breakdown: %d entries, files of 4 KiB, medians of %d runs, per entry\n",
         g_entries, runs);
  row("bare CopyFileA loop", kLoop);
  row("CopyComponentFiles: dialog, worker, status lines, copies", kReal);
  row("CopyComponentFiles over installed files (each replaced)", kReplace);
  row("one SetDlgItemTextA to the shown dialog (text, repaint)", kShown);
  row("one SetDlgItemTextA to the hidden dialog (text only)", kHidden);
  row("one empty cross-thread send", kEmpty);
  RemoveTree(std::string(kRoot) + "dest-loop");
  RemoveTree(std::string(kRoot) + "dest-real");
  FixedCosts(runs);
  return 0;
}
