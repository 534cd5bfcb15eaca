// Start-up figures: from process start until the first window is visible, for
// setup.exe (its component page) and for a bare program showing a message box.
// Prints the median of each and their ratio, and setup.exe's size.
//   startup_bench.exe setup.exe bare_message_box.exe [runs]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

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

// Milliseconds from CreateProcess until the window shows, or a negative value.
double TimeToWindow(const std::string& exe, const char* title, int controlId) {
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
  return elapsed;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: startup_bench.exe setup.exe bare_message_box.exe [runs]\n");
    return 2;
  }
  int runs = argc > 3 ? atoi(argv[3]) : 9;
  std::vector<double> setup, bare;
  TimeToWindow(argv[1], "Velvorine Install", 1001);  // warm the caches once
  TimeToWindow(argv[2], "Bare", 0);
  for (int i = 0; i < runs; ++i) {
    double s = TimeToWindow(argv[1], "Velvorine Install", 1001);  // the component page
    double b = TimeToWindow(argv[2], "Bare", 0);
    if (s < 0 || b < 0) {
      fprintf(stderr, "a program did not show its window within 10 s\n");
      return 1;
    }
    setup.push_back(s);
    bare.push_back(b);
  }
  WIN32_FILE_ATTRIBUTE_DATA fa = {};
  GetFileAttributesExA(argv[1], GetFileExInfoStandard, &fa);
  printf("start-up to first window, median of %d: setup.exe %.1f ms, bare message box %.1f ms, "
         "ratio %.2f (target <= 1.20)\n",
         runs, Median(setup), Median(bare), Median(setup) / Median(bare));
  printf("setup.exe size: %lu bytes (%.1f KiB; target <= 48 KiB for win32)\n", fa.nFileSizeLow,
         fa.nFileSizeLow / 1024.0);
  return 0;
}
