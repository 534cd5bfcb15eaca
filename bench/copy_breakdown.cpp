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
#include <windows.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/center_window.h"
#include "app/installer_state.h"
#include "install/component_copy.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using e2e::MakeDirs;
using e2e::RemoveTree;
using e2e::WriteFileOfSize;

const char kRoot[] = "C:\\velvor-bench\\breakdown\\";
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

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) g_entries = atoi(argv[1]);
  int runs = argc > 2 ? atoi(argv[2]) : 5;
  g_state.instance = GetModuleHandleA(nullptr);
  std::vector<std::string> names = MakeSource(g_entries);
  snprintf(g_state.moduleDir, kPathSize, "%smedia\\", kRoot);
  g_state.moduleNameSlot = g_state.moduleDir + strlen(g_state.moduleDir);

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
  return 0;
}
