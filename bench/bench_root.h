// Where a bench puts its payloads and installs: C:\velvor-bench\ on the prefix's disk, or
// where VELVOR_BENCH_ROOT says. bench/run.sh also gives a drive in memory (where the
// program's own work shows apart from the disk's) and a journaled file system (this
// machine's own, without a journal, makes each new file slower after many removals).
#pragma once
#include <windows.h>

#include <string>

inline const std::string& BenchRoot() {
  static const std::string root = [] {
    char given[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("VELVOR_BENCH_ROOT", given, sizeof given);
    return n && n < sizeof given ? std::string(given) : std::string("C:\\velvor-bench\\");
  }();
  return root;
}
