// Start-up figures: from process start until the first window is visible, for
// setup.exe (its component page) and for a bare program showing a message box, and where
// setup's start-up goes, from the benchmark build of it (setup_timed.exe), which records
// the moments of app/timing_marks.h. Prints medians of interleaved runs, the ratio, and
// setup.exe's size. Both setup programs run from a folder of the bench's own, beside a
// plugin folder, so that they show their first page. Another setup.exe (an earlier
// build, say) may be given to be timed in the same rounds.
//   startup_bench.exe setup.exe setup_timed.exe bare_message_box.exe [runs] [other.exe]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/timing_marks_block.h"

namespace {

struct Find {
  DWORD pid;
  const char* title;
  int controlId;
  HWND found;
};

BOOL CALLBACK FindProc(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<Find*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char title[128] = "";
  GetWindowTextA(w, title, sizeof title);
  if (pid == f->pid && IsWindowVisible(w) && strcmp(title, f->title) == 0 &&
      (f->controlId == 0 || GetDlgItem(w, f->controlId))) {
    f->found = w;
    return FALSE;
  }
  return TRUE;
}

double Now() {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return 1000.0 * c.QuadPart / f.QuadPart;
}

double CounterMs(LONGLONG counter) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1000.0 * counter / f.QuadPart;
}

// Milliseconds from CreateProcess until the window shows, or a negative value. With
// marks, also each mark's milliseconds from CreateProcess (negative: not reached).
double TimeToWindow(const std::string& exe, const char* title, int controlId,
                    std::vector<double>* marks = nullptr) {
  HANDLE block = nullptr;
  LONGLONG* counters = nullptr;
  if (marks) {
    block = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                               sizeof(LONGLONG) * kTimingMarkCount, kTimingMarksName);
    counters = block ? static_cast<LONGLONG*>(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 0))
                     : nullptr;
    if (!counters) return -1;
    for (int i = 0; i < kTimingMarkCount; ++i) counters[i] = 0;
  }
  std::string dir = exe.substr(0, exe.find_last_of('\\') + 1);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + exe + "\"";
  double start = Now();
  if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                      dir.empty() ? nullptr : dir.c_str(), &si, &pi))
    return -1;
  Find f{pi.dwProcessId, title, controlId, nullptr};
  double elapsed = -1;
  while (Now() - start < 10000) {
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
    if (f.found) {
      elapsed = Now() - start;
      break;
    }
    Sleep(1);
  }
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  if (counters) {
    marks->clear();
    for (int i = 0; i < kTimingMarkCount; ++i)
      marks->push_back(counters[i] ? CounterMs(counters[i]) - start : -1);
    UnmapViewOfFile(counters);
  }
  if (block) CloseHandle(block);
  return elapsed;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

const char kFolder[] = "C:\\velvor-bench\\startup\\";

// setup.exe and its timed build side by side in kFolder, with media to install.
bool MakeFolder(const char* setup, const char* timed) {
  CreateDirectoryA("C:\\velvor-bench", nullptr);
  CreateDirectoryA(kFolder, nullptr);
  CreateDirectoryA((std::string(kFolder) + "plugin").c_str(), nullptr);
  HANDLE f = CreateFileA((std::string(kFolder) + "plugin\\velvor.8bf").c_str(), GENERIC_WRITE, 0,
                         nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  CloseHandle(f);
  return CopyFileA(setup, (std::string(kFolder) + "setup.exe").c_str(), FALSE) &&
         CopyFileA(timed, (std::string(kFolder) + "setup_timed.exe").c_str(), FALSE);
}

const char* const kMarkNames[kStartupMarkCount] = {"main window shown"};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr,
            "usage: startup_bench.exe setup.exe setup_timed.exe bare_message_box.exe [runs] "
            "[other.exe]\n");
    return 2;
  }
  int runs = argc > 4 ? atoi(argv[4]) : 9;
  if (!MakeFolder(argv[1], argv[2])) {
    fprintf(stderr, "cannot lay out %s\n", kFolder);
    return 1;
  }
  std::string setupExe = std::string(kFolder) + "setup.exe";
  std::string timedExe = std::string(kFolder) + "setup_timed.exe";
  std::string otherExe = std::string(kFolder) + "setup_other.exe";
  bool other = argc > 5;
  if (other && !CopyFileA(argv[5], otherExe.c_str(), FALSE)) {
    fprintf(stderr, "cannot copy %s\n", argv[5]);
    return 1;
  }
  const char* bareExe = argv[3];
  std::vector<double> setup, timed, bare, others, marks, mark[kStartupMarkCount];
  TimeToWindow(setupExe, "Velvorine Install", 1001);  // warm the caches once
  TimeToWindow(timedExe, "Velvorine Install", 1001, &marks);
  TimeToWindow(bareExe, "Bare", 0);
  for (int i = 0; i < runs; ++i) {
    double s = TimeToWindow(setupExe, "Velvorine Install", 1001);  // the component page
    double t = TimeToWindow(timedExe, "Velvorine Install", 1001, &marks);
    double b = TimeToWindow(bareExe, "Bare", 0);
    double o = other ? TimeToWindow(otherExe, "Velvorine Install", 1001) : 0;
    if (s < 0 || t < 0 || b < 0 || o < 0) {
      fprintf(stderr, "a program did not show its window within 10 s\n");
      return 1;
    }
    setup.push_back(s);
    timed.push_back(t);
    bare.push_back(b);
    others.push_back(o);
    for (int m = 0; m < kStartupMarkCount; ++m)
      if (marks[m] >= 0) mark[m].push_back(marks[m]);
  }
  printf("where setup's start-up goes (its timed build), ms from process start, medians:\n");
  double before = 0;
  for (int m = 0; m < kStartupMarkCount; ++m) {
    if (mark[m].empty()) {
      printf("  %-40s %8s\n", kMarkNames[m], "-");
      continue;
    }
    double at = Median(mark[m]);
    printf("  %-40s %8.1f  (+%.1f)\n", kMarkNames[m], at, at - before);
    before = at;
  }
  printf("  %-40s %8.1f  (+%.1f)\n", "first page visible (seen from outside)", Median(timed),
         Median(timed) - before);
  WIN32_FILE_ATTRIBUTE_DATA fa = {};
  GetFileAttributesExA(argv[1], GetFileExInfoStandard, &fa);
  printf("start-up to first window, median of %d: setup.exe %.1f ms, bare message box %.1f ms, "
         "ratio %.2f (target <= 1.20)\n",
         runs, Median(setup), Median(bare), Median(setup) / Median(bare));
  if (other)
    printf("  the other setup.exe (%s): %.1f ms, ratio %.2f\n", argv[5], Median(others),
           Median(others) / Median(bare));
  printf("setup.exe size: %lu bytes (%.1f KiB; target <= 48 KiB for win32)\n", fa.nFileSizeLow,
         fa.nFileSizeLow / 1024.0);
  return 0;
}
