// Whole installs of generated payloads against a bare CopyFileA loop over the same files,
// and against the floor of a crash-safe install (each file copied to a new temporary name,
// then renamed over its own), under the same Wine:
//   install_bench.exe path\to\setup.exe [runs] [parts] [path\to\setup_timed.exe]
// parts: any of small, reinstall, large, three, upgrade, counts, phases, separated by commas
// (default: all; phases only with the timed build, the program's moments of the install
// step recorded by setup_timed.exe, see app/timing_marks.h).
// An install is driven like the end-to-end scenarios: the components of the payload chosen
// (the plug-in alone but in "three": 250 samples, one plug-in file and one help file),
// their directories typed in, and the time taken from the click of Next that starts the
// install step to the moment the completion message is on the screen. The loop copies the
// same names from the same folders into empty folders, as the install does; the floor loop
// makes its temporary names in a folder of their own beside the files, the cheapest place
// under Wine. Printed: medians of interleaved runs, their ratios, and microseconds per file.
// "upgrade" is the reinstall as users meet it: three components, each method (the install,
// the loop, the floor) over its own previous install in folders of its own.
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/bench_root.h"
#include "bench/timing_marks_block.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

const std::string& Root() { return BenchRoot(); }

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) / double(f.QuadPart);
}

// The processor time of the whole machine so far, in seconds: every process's (the
// program's, Wine's server, the X server), read from the host through Wine's Z: drive.
// Less moved by the scheduling of two cores than the clock; 0 where it cannot be read.
double MachineCpu() {
  HANDLE f = CreateFileA("Z:\\proc\\stat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  char text[256] = {};
  DWORD read = 0;
  BOOL ok = ReadFile(f, text, sizeof text - 1, &read, nullptr);
  CloseHandle(f);
  unsigned long long user, nice, system, idle, iowait, irq, softirq;
  if (!ok || sscanf(text, "cpu %llu %llu %llu %llu %llu %llu %llu", &user, &nice, &system, &idle,
                    &iowait, &irq, &softirq) != 7)
    return 0;
  return double(user + nice + system + irq + softirq) / 100;  // in USER_HZ
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The media's folders, their check boxes and their pages, in the order of the pages.
struct Folder {
  const char* name;
  int checkBox;
  const char* page;
};
const Folder kFolders[] = {{"plugin", IDC_PLUGIN, "Velvorine Plugin"},
                           {"samples", IDC_SAMPLES, "Sample Files"},
                           {"help", IDC_HELPFILES, "On-line Help Files"}};
constexpr int kFolderCount = 3;

struct Payload {
  std::string media;                             // setup.exe beside plugin\ and the others
  std::vector<std::string> names[kFolderCount];  // the files of each folder
  bool several = false;  // more than the plug-in: each installed into dest\<folder>
  size_t files() const { return names[0].size() + names[1].size() + names[2].size(); }
  // Where the files of folder f go.
  std::string Dest(const std::string& dest, int f) const {
    return several ? dest + "\\" + kFolders[f].name : dest;
  }
};

// C:\velvor-bench\<tag>\media\ with counts[f] files of bytes each in each folder; kept
// between runs of the benchmark when it is already complete.
Payload MakePayload(const std::string& tag, const int (&counts)[kFolderCount], long long bytes) {
  Payload p;
  p.media = Root() + tag + "\\media\\";
  p.several = counts[1] || counts[2];
  MakeDirs(p.media);
  CopyFileA(SetupExe().c_str(), (p.media + "setup.exe").c_str(), FALSE);
  for (int f = 0; f < kFolderCount; ++f) {
    if (!counts[f]) continue;
    std::string folder = p.media + kFolders[f].name + "\\";
    MakeDirs(folder);
    for (int i = 0; i < counts[f]; ++i) {
      char name[64];
      snprintf(name, sizeof name, "file%05d.dat", i);
      p.names[f].push_back(name);
      if (FileSize(folder + name) != bytes) WriteFileOfSize(folder + name, bytes);
    }
  }
  return p;
}

Payload MakePayload(const std::string& tag, int count, long long bytes) {
  return MakePayload(tag, {count, 0, 0}, bytes);
}

// The destination, emptied first unless the run installs over the files already there.
bool g_over = false;
std::string FreshDest(const std::string& tag) {
  std::string dest = Root() + tag + "\\dest";
  if (!g_over) RemoveTree(dest);
  return dest;
}

double BareLoop(const Payload& p, const std::string& tag) {
  std::string dest = FreshDest(tag);
  double t = Now();
  CreateDirectoryA(dest.c_str(), nullptr);
  for (int f = 0; f < kFolderCount; ++f) {
    if (p.names[f].empty()) continue;
    std::string src = p.media + kFolders[f].name + "\\", to = p.Dest(dest, f);
    if (p.several) CreateDirectoryA(to.c_str(), nullptr);
    for (const std::string& n : p.names[f])
      CopyFileA((src + n).c_str(), (to + "\\" + n).c_str(), FALSE);
  }
  return Now() - t;
}

// The least a crash-safe install does: CopyFileA to a new temporary name (failing if it
// exists), then MoveFileExA over the file, for each file.
double FloorLoop(const Payload& p, const std::string& tag) {
  std::string dest = FreshDest(tag);
  double t = Now();
  CreateDirectoryA(dest.c_str(), nullptr);
  int number = 0;
  for (int f = 0; f < kFolderCount; ++f) {
    if (p.names[f].empty()) continue;
    std::string src = p.media + kFolders[f].name + "\\", to = p.Dest(dest, f);
    std::string work = to + "\\~floor";
    if (p.several) CreateDirectoryA(to.c_str(), nullptr);
    CreateDirectoryA(work.c_str(), nullptr);
    for (const std::string& n : p.names[f]) {
      std::string temp = work + "\\" + std::to_string(number++) + ".tmp";
      if (CopyFileA((src + n).c_str(), temp.c_str(), TRUE))
        MoveFileExA(temp.c_str(), (to + "\\" + n).c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    RemoveDirectoryA(work.c_str());
  }
  return Now() - t;
}

// When the last install's Next was clicked, in seconds of Now().
double g_clickedAt = 0;

// The largest peak working set of setup.exe seen at a completion message, in bytes.
size_t g_peakWorkingSet = 0;

// The completion message: a dialog of setup.exe titled "Velvorine Install" that is not the
// component page.
bool IsCompletionMessage(HWND w) {
  char cls[16] = "", title[64] = "";
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, title, sizeof title);
  return !strcmp(cls, "#32770") && !strcmp(title, "Velvorine Install") && !GetDlgItem(w, IDC_PLUGIN);
}
HWND CompletionMessage(const SetupProcess& setup) {
  HWND w = setup.Find("#32770", "Velvorine Install");
  return w && IsCompletionMessage(w) ? w : nullptr;
}

// The machine's processor time from the last install's click to its completion message.
double g_installCpu = 0;

// The newest dialog that setup.exe has made, from the window event (Wine tells of a
// window's creation, not of its showing, and a message box gets its title after): until it
// has been shown, a look each millisecond tells whether it is the completion message.
HWND g_made = nullptr;
int g_seenByLooking = 0;  // completion messages that no event announced
void CALLBACK OnCreated(HWINEVENTHOOK, DWORD, HWND w, LONG object, LONG, DWORD, DWORD) {
  char cls[16] = "";
  if (object == OBJID_WINDOW && GetAncestor(w, GA_ROOT) == w && GetClassNameA(w, cls, sizeof cls) &&
      !strcmp(cls, "#32770"))
    g_made = w;
}

// Seconds from the install step to the completion message, or -1 when the run failed.
double WholeInstall(const Payload& p, const std::string& tag) {
  std::string dest = FreshDest(tag);
  SetupProcess setup(p.media);
  HWND page = setup.AwaitComponentPage();
  if (!page) return -1;
  for (int f = 0; f < kFolderCount; ++f) SetChecked(page, kFolders[f].checkBox, !p.names[f].empty());
  if (!setup.Press(page, IDOK)) return -1;
  // Every directory page but the last is left with Next; the last one's Next is timed.
  HWND dir = nullptr;
  for (int f = 0; f < kFolderCount; ++f) {
    if (p.names[f].empty()) continue;
    if (dir && !setup.Press(dir, IDOK)) return -1;
    dir = setup.AwaitDirectoryPage(kFolders[f].page);
    if (!dir) return -1;
    SetItemText(dir, IDC_DIRECTORY, p.Dest(dest, f));
  }
  g_made = nullptr;
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr,
                                       OnCreated, setup.pid(), 0, WINEVENT_OUTOFCONTEXT);
  double cpu = MachineCpu();
  double t = g_clickedAt = Now();
  Click(dir, IDOK);
  HANDLE process = setup.handle();
  // Woken by the system when setup.exe makes a window, not by looking while the install
  // runs: each look costs the Wine server work that the install needs too. Should no
  // event come, a look every half second stands in (and is told).
  HWND done = nullptr;
  while (!done && setup.running() && Now() - t < 600) {
    if (g_made) {
      if (!IsWindowVisible(g_made) && IsWindow(g_made)) {
        Sleep(1);
        continue;
      }
      if (IsCompletionMessage(g_made)) done = g_made;
      g_made = nullptr;  // a progress dialog: the next window is waited for
      continue;
    }
    bool woken = MsgWaitForMultipleObjects(1, &process, FALSE, hook ? 500 : 20, QS_ALLINPUT) !=
                 WAIT_TIMEOUT;
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&m);
    if (!woken && (done = CompletionMessage(setup))) ++g_seenByLooking;
  }
  t = Now() - t;
  g_installCpu = MachineCpu() - cpu;
  if (hook) UnhookWinEvent(hook);
  if (!done) return -1;
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  if (K32GetProcessMemoryInfo(setup.handle(), &memory, sizeof memory))
    g_peakWorkingSet = std::max(g_peakWorkingSet, static_cast<size_t>(memory.PeakWorkingSetSize));
  setup.Press(done, IDOK);
  DWORD code;
  setup.AwaitExit(&code);
  size_t installed = 0;
  for (int f = 0; f < kFolderCount; ++f)
    if (!p.names[f].empty()) installed += FilesIn(p.Dest(dest, f)).size();
  if (installed != p.files()) {
    fprintf(stderr, "%s: %zu of %zu files installed\n", tag.c_str(), installed, p.files());
    return -1;
  }
  return t;
}

struct Figures {
  double install, loop, floor;
};

// Interleaved: an install, the bare loop, the floor loop, and again. The floor only when
// asked for.
Figures Measure(const Payload& p, const std::string& tag, int runs, bool withFloor = false) {
  std::vector<double> install, loop, floor;
  BareLoop(p, tag);  // the source into the cache, Wine's code paths warm
  for (int r = 0; r < runs; ++r) {
    double i = WholeInstall(p, tag);
    if (i >= 0) install.push_back(i);
    loop.push_back(BareLoop(p, tag));
    if (withFloor) floor.push_back(FloorLoop(p, tag));
  }
  RemoveTree(Root() + tag + "\\dest");
  double f = floor.empty() ? -1 : Median(floor);
  if (install.empty()) return {-1, Median(loop), f};
  return {Median(install), Median(loop), f};
}

// The reinstall as users meet it: the three components over a previous install of their
// own. Each method writes folders of its own: fresh installs first, then runs reinstalls
// over what it wrote the run before, interleaved. The fresh installs' median, the first
// reinstall and the median of the later ones are printed apart: what grows from run to
// run shows in the last.
void Upgrade(int runs) {
  Payload p = MakePayload("upgrade", {200, 2000, 20}, 4096);
  enum { kInstall, kLoop, kFloor, kMethods };
  const char* const tags[kMethods] = {"upgrade\\install", "upgrade\\loop", "upgrade\\floor"};
  auto once = [&](int m) {
    if (m == kInstall) return WholeInstall(p, tags[m]);
    return m == kLoop ? BareLoop(p, tags[m]) : FloorLoop(p, tags[m]);
  };
  // The order of round r: the install, then the loop and the floor, those two swapped in
  // odd rounds. On a file system that slows the making of new files after removals, what
  // one method leaves the next pays for: so each follows each other as often.
  auto method = [](int r, int i) { return i == 0 || r % 2 == 0 ? i : kMethods - i; };
  // Fresh installs first, a third as many as the reinstalls, each into folders emptied
  // first; the last of them is what the first reinstall goes over.
  std::vector<double> freshRuns[kMethods];
  for (int r = 0; r < std::max(1, runs / 3); ++r)
    for (int i = 0; i < kMethods; ++i) {
      int m = method(r, i);
      RemoveTree(Root() + std::string(tags[m]));
      MakeDirs(Root() + std::string(tags[m]));
      freshRuns[m].push_back(once(m));
    }
  double fresh[kMethods];
  for (int m = 0; m < kMethods; ++m) fresh[m] = Median(freshRuns[m]);
  g_over = true;
  std::vector<double> t[kMethods], cpu[kMethods];
  for (int r = 0; r < runs; ++r)
    for (int i = 0; i < kMethods; ++i) {
      int m = method(r, i);
      double before = MachineCpu();
      t[m].push_back(once(m));
      cpu[m].push_back(m == kInstall ? g_installCpu : MachineCpu() - before);
    }
  g_over = false;
  for (int m = 0; m < kMethods; ++m) RemoveTree(Root() + std::string(tags[m]));
  auto row = [](const char* label, double install, double floor, double loop,
                const char* target) {
    printf("  %-22s %11.1f %9.1f %9.1f %7.2fx %8s %7.2fx\n", label, install * 1e3,
           floor * 1e3, loop * 1e3, install / floor, target, install / loop);
  };
  printf("\n  2,000 + 200 + 20 x 4 KiB, each method over its own previous install, in %s:\n",
         Root().c_str());
  // A failed install has no time: none of its figures is printed.
  if (std::count_if(freshRuns[kInstall].begin(), freshRuns[kInstall].end(),
                    [](double i) { return i < 0; }) || runs < 1 ||
      std::count_if(t[kInstall].begin(), t[kInstall].end(), [](double i) { return i < 0; })) {
    printf("  an install failed\n");
    return;
  }
  row("  fresh (median)", fresh[kInstall], fresh[kFloor], fresh[kLoop], "<= 1.05x");
  row("  first reinstall", t[kInstall][0], t[kFloor][0], t[kLoop][0], "");
  if (runs > 1) {
    std::vector<double> later[kMethods], laterCpu[kMethods];
    for (int m = 0; m < kMethods; ++m) {
      later[m].assign(t[m].begin() + 1, t[m].end());
      laterCpu[m].assign(cpu[m].begin() + 1, cpu[m].end());
    }
    row("  later ones (median)", Median(later[kInstall]), Median(later[kFloor]),
        Median(later[kLoop]), "<= 1.15x");
    // The whole machine's processor time in the same runs (the program, Wine's server,
    // the X server): the work that each method makes, which the sharing of two cores
    // moves less than the clock.
    if (Median(laterCpu[kFloor]) > 0)
      row("  their processor time", Median(laterCpu[kInstall]), Median(laterCpu[kFloor]),
          Median(laterCpu[kLoop]), "");
  }
  printf("  %-22s", "  each run, /floor:");
  for (int r = 0; r < runs; ++r) printf(" %.2f", t[kInstall][r] / t[kFloor][r]);
  printf("\n");
}

const char* const kInstallMarkNames[kTimingMarkCount - kStartupMarkCount] = {
    "install step begins (last page closed)", "source folder listed",
    "worker's first step (progress dialog up)", "worker: files placed, work folder gone",
    "copy step returns (dialog closed, worker ended)", "install step returns",
};

// Where the install step's time goes, from the moments that setup_timed.exe records: ms
// from the click of the last page's Next, medians of runs; the moments of a component are
// those of the first one. No hook or other watcher slows the program meanwhile.
void Phases(const std::string& timed, int runs) {
  HANDLE block = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    sizeof(LONGLONG) * kTimingMarkCount, kTimingMarksName);
  auto* marks = block ? static_cast<LONGLONG*>(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 0))
                      : nullptr;
  if (!marks) {
    fprintf(stderr, "phases: no shared block for the marks\n");
    return;
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::string shipped = SetupExe();
  SetSetupExe(timed);
  struct Case {
    const char* tag;
    int counts[kFolderCount];
    const char* label;
  };
  const Case cases[] = {
      {"phases-one", {0, 1, 0}, "one component of one 4 KiB file (the samples)"},
      {"phases-three", {1, 250, 1}, "250 + 1 + 1 x 4 KiB; the component's moments: the plug-in's"},
  };
  for (const Case& c : cases) {
    Payload p = MakePayload(c.tag, c.counts, 4096);
    std::vector<double> at[kTimingMarkCount], seen;
    WholeInstall(p, c.tag);  // warm
    for (int r = 0; r < runs; ++r) {
      for (int m = 0; m < kTimingMarkCount; ++m) marks[m] = 0;
      double t = WholeInstall(p, c.tag);
      if (t < 0) continue;
      seen.push_back(t * 1e3);
      for (int m = kStartupMarkCount; m < kTimingMarkCount; ++m)
        if (marks[m])
          at[m].push_back((double(marks[m]) / double(frequency.QuadPart) - g_clickedAt) * 1e3);
    }
    RemoveTree(Root() + std::string(c.tag) + "\\dest");
    printf("\nWhere the install step goes: %s,\nms from the click of the last page's Next, "
           "medians of %zu runs of the timed build; (+ms) after the moment above:\n",
           c.label, seen.size());
    std::vector<std::pair<double, int>> rows;
    for (int m = kStartupMarkCount; m < kTimingMarkCount; ++m)
      if (at[m].size() * 2 > seen.size()) rows.push_back({Median(at[m]), m});
    std::sort(rows.begin(), rows.end());
    double before = 0;
    for (const auto& [ms, m] : rows) {
      printf("  %-42s %8.2f  (+%.2f)\n", kInstallMarkNames[m - kStartupMarkCount], ms, ms - before);
      before = ms;
    }
    for (int m = kStartupMarkCount; m < kTimingMarkCount; ++m)
      if (at[m].size() * 2 <= seen.size())
        printf("  %-42s in %zu of %zu runs\n", kInstallMarkNames[m - kStartupMarkCount],
               at[m].size(), seen.size());
    if (!seen.empty())
      printf("  %-42s %8.2f  (+%.2f)\n", "completion message on the screen", Median(seen),
             Median(seen) - before);
  }
  SetSetupExe(shipped);
  UnmapViewOfFile(marks);
  CloseHandle(block);
}

void ReportLooks() {
  if (g_seenByLooking)
    printf("\n  %d completion messages came without the window event and were seen by looking, "
           "up to 0.5 s late: their figures are too high\n", g_seenByLooking);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: install_bench.exe path\\to\\setup.exe [runs] [parts] [setup_timed.exe]\n");
    return 2;
  }
  SetSetupExe(argv[1]);
  int runs = argc > 2 ? atoi(argv[2]) : 5;
  std::string parts = argc > 3 ? argv[3] : "small,reinstall,large,three,counts,phases";
  auto wanted = [&](const char* part) { return parts.find(part) != std::string::npos; };
  setvbuf(stdout, nullptr, _IONBF, 0);

  if (wanted("three") || wanted("small") || wanted("reinstall") || wanted("large") ||
      wanted("upgrade")) {
    printf("Whole install (Install step to completion message) vs bare CopyFileA loop and the\n");
    printf("floor loop (copy to a new temporary name, rename over), medians of %d interleaved\n",
           runs);
    printf("runs under the same Wine:\n\n");
    printf("  %-22s %11s %9s %9s %8s %8s %8s %8s\n", "payload", "install ms", "floor ms",
           "loop ms", "/floor", "target", "/loop", "target");
  }
  struct Case {
    const char* tag;
    const char* label;
    int count;
    long long bytes;
    const char* floorTarget;
    const char* target;
    bool over;  // installed over the same files
  };
  const Case cases[] = {
      {"small", "2,000 x 4 KiB", 2000, 4096, "<= 1.15x", "<= 1.3x", false},
      {"reinstall", "2,000 x 4 KiB again", 2000, 4096, "<= 1.15x", "", true},
      {"large", "8 x 64 MiB", 8, 64ll << 20, "", "<= 1.2x", false},
  };
  if (wanted("three")) {
    // The fixed cost of each component weighs most on a payload of a few files. First,
    // before the large files leave the disk busy writing back.
    Payload p = MakePayload("three", {1, 250, 1}, 4096);
    Figures f = Measure(p, "three", runs, true);
    printf("  %-22s %11.1f %9.1f %9.1f %7.2fx %8s %7.2fx %8s\n", "250 + 1 + 1 x 4 KiB",
           f.install * 1e3, f.floor * 1e3, f.loop * 1e3, f.install / f.floor, "",
           f.install / f.loop, "<= 1.3x");
    printf("  %-22s (three components: samples, plug-in, help)\n", "");
  }
  for (const Case& c : cases) {
    if (!wanted(c.tag)) continue;
    g_over = c.over;
    Payload p = MakePayload(c.tag, c.count, c.bytes);
    Figures f = Measure(p, c.tag, runs, true);
    printf("  %-22s %11.1f %9.1f %9.1f %7.2fx %8s %7.2fx %8s\n", c.label, f.install * 1e3,
           f.floor * 1e3, f.loop * 1e3, f.install / f.floor, c.floorTarget, f.install / f.loop,
           c.target);
    printf("  %-22s peak working set of setup.exe: %.1f MiB\n", "", g_peakWorkingSet / 1048576.0);
    g_peakWorkingSet = 0;
    g_over = false;
    if (std::string(c.tag) == "large")  // 1 GiB less on the disk
      for (const std::string& n : p.names[0]) DeleteFileA((p.media + "plugin\\" + n).c_str());
  }

  if (wanted("upgrade")) Upgrade(runs);

  if (wanted("phases") && argc > 4) Phases(argv[4], runs);

  if (!wanted("counts")) {
    ReportLooks();
    return 0;
  }
  printf("\nPer file, 4 KiB files, by count (medians of %d runs):\n\n", runs);
  printf("  %-8s %12s %12s %14s %8s\n", "files", "install us", "loop us", "overhead us",
         "ratio");
  const int counts[] = {100, 1000, 10000};
  double overhead[3];
  for (int i = 0; i < 3; ++i) {
    int count = counts[i];
    std::string tag = "count" + std::to_string(count);
    Payload p = MakePayload(tag, count, 4096);
    Figures f = Measure(p, tag, runs);
    overhead[i] = f.install - f.loop;
    printf("  %-8d %12.1f %12.1f %14.1f %7.2fx\n", count, f.install / count * 1e6,
           f.loop / count * 1e6, overhead[i] / count * 1e6, f.install / f.loop);
  }
  // The overhead that each further file adds, without the install's fixed part (pages,
  // dialogs, message box), which weighs most on the smallest count.
  printf("\n  overhead per added file: %.1f us from 100 to 1,000 files, %.1f us from 1,000 to"
         " 10,000\n",
         (overhead[1] - overhead[0]) / 900 * 1e6, (overhead[2] - overhead[1]) / 9000 * 1e6);
  ReportLooks();
  return 0;
}
