// The whole install step (three components, real folders, the real registry, the progress
// dialog and its worker) run once per system call it makes, with that call failing with
// each error it can meet in the field; then each copy and rename refused for a moment (a
// passing lock), a work folder that goes mid-way and one that is a link. After every run:
// nothing installed before is damaged or lost, or changes its attributes unless replaced,
// nothing of anyone else's at a temporary name is touched, every file arrived or is
// counted, success is said exactly when all arrived, no temporary copy stays (or the next
// install clears it), a value is right (naming a file that is there) or absent. Then what
// Wine cannot make, through the table: a leftover of another owner, or a junction, or a
// cloud placeholder. The run ends (a hang ends the
// program, naming the run); that it ends only once its worker has is the copy test's.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>
#include <sddl.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/held_entry.h"
#include "install/install_sequence.h"
#include "tests/e2e/driver.h"
#include "install/system_calls.h"
#include "wizard/wizard.h"

namespace {

using namespace e2e;

// Every call of the install step's table: name, result, parameters, arguments, failure.
#define SYSTEM_CALLS(X)                                                                   \
  X(GetCurrentDirectoryW, DWORD, (DWORD n, LPWSTR b), (n, b), 0)                         \
  X(SetCurrentDirectoryA, BOOL, (LPCSTR p), (p), FALSE)                                    \
  X(CreateDirectoryA, BOOL, (LPCSTR p, LPSECURITY_ATTRIBUTES s), (p, s), FALSE)            \
  X(FindFirstFileA, HANDLE, (LPCSTR p, LPWIN32_FIND_DATAA f), (p, f), INVALID_HANDLE_VALUE) \
  X(FindNextFileA, BOOL, (HANDLE h, LPWIN32_FIND_DATAA f), (h, f), FALSE)                  \
  X(HeapAlloc, LPVOID, (HANDLE h, DWORD f, SIZE_T n), (h, f, n), nullptr)                  \
  X(HeapReAlloc, LPVOID, (HANDLE h, DWORD f, LPVOID p, SIZE_T n), (h, f, p, n), nullptr)   \
  X(CopyFileA, BOOL, (LPCSTR s, LPCSTR d, BOOL x), (s, d, x), FALSE)                       \
  X(GetFileAttributesA, DWORD, (LPCSTR p), (p), INVALID_FILE_ATTRIBUTES)                   \
  X(SetFileAttributesA, BOOL, (LPCSTR p, DWORD a), (p, a), FALSE)                          \
  X(MoveFileExA, BOOL, (LPCSTR s, LPCSTR d, DWORD f), (s, d, f), FALSE)                    \
  X(CreateFileA, HANDLE,                                                                  \
    (LPCSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t),   \
    (p, a, s, sa, c, f, t), INVALID_HANDLE_VALUE)                                         \
  X(GetFileInformationByHandleEx, BOOL, (HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID b, \
    DWORD n), (h, c, b, n), FALSE)                                                        \
  X(SetFileInformationByHandle, BOOL, (HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID b,   \
    DWORD n), (h, c, b, n), FALSE)                                                        \
  X(GetSecurityInfo, DWORD, (HANDLE h, SE_OBJECT_TYPE t, SECURITY_INFORMATION i, PSID* o, \
    PSID* g, PACL* d, PACL* s, PSECURITY_DESCRIPTOR* sd), (h, t, i, o, g, d, s, sd),      \
    g_error)                                                                              \
  X(SetProcessMitigationPolicy, BOOL, (PROCESS_MITIGATION_POLICY p, PVOID b, SIZE_T n),   \
    (p, b, n), FALSE)                                                                     \
  X(RegCreateKeyExA, LSTATUS,                                                             \
    (HKEY k, LPCSTR n, DWORD r, LPSTR c, DWORD o, REGSAM s, LPSECURITY_ATTRIBUTES sa,     \
     PHKEY out, LPDWORD d),                                                               \
    (k, n, r, c, o, s, sa, out, d), static_cast<LSTATUS>(g_error))                        \
  X(RegSetValueExA, LSTATUS, (HKEY k, LPCSTR n, DWORD r, DWORD t, const BYTE* v, DWORD z), \
    (k, n, r, t, v, z), static_cast<LSTATUS>(g_error))

#define CALL_KIND(name, ...) k##name,
enum class Call { SYSTEM_CALLS(CALL_KIND) };
#define CALL_NAME(name, ...) #name,
const char* const kCallNames[] = {SYSTEM_CALLS(CALL_NAME)};

// Counts the calls, keeping their kinds while none is to fail; the nth fails with g_error,
// and so do the next calls of its kind until it has failed g_times times.
volatile LONG g_calls = 0;
long g_failAt = 0;
int g_times = 1, g_failed = 0;
DWORD g_error = 0;
std::vector<Call> g_kinds;
bool Hit(Call kind) {
  long n = InterlockedIncrement(&g_calls);
  if (g_failAt == 0) g_kinds.push_back(kind);
  if (g_failAt <= 0 || n < g_failAt || g_failed >= g_times ||
      (n > g_failAt && g_kinds[g_failAt - 1] != kind))
    return false;
  ++g_failed;
  SetLastError(g_error);
  return true;
}
#define COUNTED(name, Ret, params, args, failure) \
  Ret WINAPI Counted##name params {                \
    if (Hit(Call::k##name)) return failure;        \
    return kSystemCalls.name args;                 \
  }
SYSTEM_CALLS(COUNTED)
#define PUT_COUNTED(name, ...) g_system.name = Counted##name;
void WINAPI NoWait(DWORD) {}
void FailAt(long nth, DWORD error, int times = 1) {
  g_calls = 0;
  g_failAt = nth;
  g_error = error;
  g_times = times;
  g_failed = 0;
  SYSTEM_CALLS(PUT_COUNTED)
  g_system.Sleep = NoWait;
}

// The seams of the last runs: the work folder removed before the copy to its nth
// temporary name, and a folder that searches show as a link.
int g_removeWorkAt = 0;
BOOL WINAPI CopyAndRemoveWork(LPCSTR s, LPCSTR d, BOOL x) {
  std::string temp = d, work = temp.substr(0, temp.rfind('\\'));
  if (work.find("~vlvw") != std::string::npos && --g_removeWorkAt == 0) RemoveTree(work);
  return CountedCopyFileA(s, d, x);
}
// A leftover folder's handle (the one opened at g_leftover) reporting what Wine cannot
// make: another account as its owner, or a reparse tag.
std::string g_leftover;
HANDLE g_leftoverHandle = nullptr;
DWORD g_leftoverTag = 0;
HANDLE WINAPI NoteLeftover(LPCSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c,
                           DWORD f, HANDLE t) {
  HANDLE h = CountedCreateFileA(p, a, s, sa, c, f, t);
  if (g_leftover == p) g_leftoverHandle = h;
  return h;
}
DWORD WINAPI AnotherOwner(HANDLE h, SE_OBJECT_TYPE t, SECURITY_INFORMATION i, PSID* o, PSID* g,
                          PACL* d, PACL* s, PSECURITY_DESCRIPTOR* sd) {
  if (h != g_leftoverHandle) return CountedGetSecurityInfo(h, t, i, o, g, d, s, sd);
  BOOL defaulted;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("O:S-1-5-21-1-2-3-1001", 1, sd,
                                                            nullptr))
    return GetLastError();
  GetSecurityDescriptorOwner(*sd, o, &defaulted);
  return ERROR_SUCCESS;
}
BOOL WINAPI TaggedLeftover(HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID b, DWORD n) {
  BOOL done = CountedGetFileInformationByHandleEx(h, c, b, n);
  if (done && g_leftoverTag && h == g_leftoverHandle && c == FileAttributeTagInfo) {
    static_cast<FILE_ATTRIBUTE_TAG_INFO*>(b)->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    static_cast<FILE_ATTRIBUTE_TAG_INFO*>(b)->ReparseTag = g_leftoverTag;
  }
  return done;
}
std::vector<DWORD> ErrorsOf(Call call) {
  switch (call) {
    case Call::kHeapAlloc: case Call::kHeapReAlloc: case Call::kGetCurrentDirectoryW:
      return {ERROR_NOT_ENOUGH_MEMORY};
    case Call::kFindNextFileA: return {ERROR_NOT_READY, ERROR_ACCESS_DENIED};  // part-way
    case Call::kRegCreateKeyExA: case Call::kRegSetValueExA: return {ERROR_ACCESS_DENIED};
    // Of a file just written or read: "not found" only if removed meanwhile, and then
    // not naming it is right.
    case Call::kGetFileAttributesA:
      return {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_NOT_READY};
    default:
      return {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL, ERROR_PATH_NOT_FOUND};
  }
}

// Answers every message box of this process, Ignore where it offers it, else OK; ends
// the program when a run has not ended in 30 s (a hang), naming it.
volatile LONG g_answering = 1, g_runsDone = 0, g_foldersSaid = 0, g_questions = 0;
std::string g_run;
BOOL CALLBACK AnswerBox(HWND w, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || ClassOf(w) != "#32770" ||
      TextOf(w) == "Installing Files")
    return TRUE;
  if (MessageText(w).rfind("Could not read the folder ", 0) == 0) InterlockedIncrement(&g_foldersSaid);
  if (MessageText(w).rfind("Could not install ", 0) == 0) InterlockedIncrement(&g_questions);
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
  // The help folder is made by the install; the others hold an earlier install's files
  // (one read-only) and a file of the user's.
  // The samples' directory too deep for a work folder: its copies are made beside the files.
  std::string dirs[] = {root + "Plug-ins", root + "Samples" + std::string(232 - root.size(), 's'),
                        root + "Docs\\Help"};
  std::map<std::string, std::string> sources;  // destination: the source's text
  for (const char* f : {"plugin\\velvor.8bf", "plugin\\readme.txt", "plugin\\filters.dat",
                        "samples\\canyon.jpg", "samples\\sunset.jpg", "help\\velvor.hlp",
                        "help\\velvor.cnt"}) {
    std::string name = f, folder = name.substr(0, name.find('\\'));
    MakeDirs(media + folder);
    ASSERT_TRUE(WriteFileText(media + name, "new " + name));
    sources[dirs[f[0] == 'p' ? 0 : f[0] == 's' ? 1 : 2] + name.substr(folder.size())] = "new " + name;
  }
  const std::string old[] = {dirs[0] + "\\velvor.8bf", dirs[0] + "\\readme.txt",
                             dirs[1] + "\\canyon.jpg"};
  const std::string user = dirs[0] + "\\notes.txt", planted = dirs[1] + "\\~vlv0000.tmp";
  const std::string link = dirs[0] + "\\~vlvw000.tmp";  // an interrupted install's, marked
  DWORD oldAttributes[3];
  auto prepare = [&] {
    for (const std::string& d : {dirs[0], dirs[1], root + "Docs"}) RemoveTree(d);
    DeleteProductKey();
    MakeDirs(dirs[0]);
    MakeDirs(dirs[1]);
    for (const std::string& f : old) WriteFileText(f, "old");
    SetFileAttributesA(old[1].c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileText(user, "the user's");
    WriteFileText(planted, "someone else's");
    for (int i = 0; i < 3; ++i) oldAttributes[i] = GetFileAttributesA(old[i].c_str());
  };
  int result = 0;
  auto install = [&] {  // the install step as the wizard takes it; true: success said
    ResetInstallerState();
    g_state.instance = GetModuleHandleA(nullptr);
    EXPECT_TRUE(TextCopy(g_state.moduleDir, media.c_str()));
    g_state.moduleNameSlot = g_state.moduleDir + media.size();
    for (const Component& c : kComponents)
      EXPECT_TRUE(TextCopy(ComponentDirectory(c), kPathSize, dirs[&c - kComponents].c_str()));
    GuardAgainstRedirection();  // at start-up in setup.exe; its failure must change nothing
    result = InstallSelected(nullptr);
    return result && CompletionText(g_state.messageText, g_state.filesNotInstalled,
                                    g_state.valuesNotWritten, g_state.foldersNotRead);
  };
  auto leftovers = [&] {
    std::vector<std::string> found;
    for (const std::string& d : dirs) {
      for (const std::string& n : FilesIn(d))
        if (n.rfind("~vlv", 0) == 0 && d + "\\" + n != planted) found.push_back(d + "\\" + n);
      for (const std::string& n : FoldersBelow(d))
        if (d + "\\" + n != link) found.push_back(d + "\\" + n);
    }
    return found;
  };
  const DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

  HANDLE answerer = CreateThread(nullptr, 0, Answerer, nullptr, 0, nullptr);
  prepare();
  FailAt(0, 0);
  ASSERT_TRUE(install()) << "the install without failures";
  const std::vector<Call> kinds = g_kinds;
  int runs = 0, violations = 0;
  std::set<Call> kindsFailed;
  // One run with the failure put in by inject(); passing: nothing may be asked or lost.
  auto run = [&](Call kind, bool passing, const std::function<void()>& inject) {
      prepare();
      FailAt(-1, 0);
      inject();
      g_foldersSaid = 0;
      g_questions = 0;
      bool success = install();
      std::vector<std::string> broken;
      for (int i = 0; i < 3; ++i) {
        std::string text = ReadFileText(old[i]);
        DWORD a = GetFileAttributesA(old[i].c_str()) & kKept;
        if (text != "old" && text != sources[old[i]])
          broken.push_back("(a) " + old[i] + " damaged or lost");
        else if (a != (oldAttributes[i] & kKept & (text == "old" ? ~0u : ~FILE_ATTRIBUTE_READONLY)))
          broken.push_back("(a) " + old[i] + " attributes " + std::to_string(a));
      }
      if (ReadFileText(user) != "the user's") broken.push_back("(a) the user's file changed");
      if (ReadFileText(planted) != "someone else's") broken.push_back("(a) the planted name written");
      if (passing && (!success || g_questions)) broken.push_back("(b) a passing failure was asked about");
      int missing = 0;
      for (const auto& [dest, text] : sources) missing += ReadFileText(dest) != text;
      std::string param, help;
      bool hasParam = ReadProductValue("ParamDirectory", &param);
      bool hasHelp = ReadProductValue("HelpFile", &help);
      if (result && !g_state.foldersNotRead && missing > g_state.filesNotInstalled)
        broken.push_back("(b) " + std::to_string(missing) + " files missing, " +
                         std::to_string(g_state.filesNotInstalled) + " counted");
      if (g_foldersSaid != g_state.foldersNotRead) broken.push_back("(b) a folder not read, not said");
      if (result && success != (missing == 0 && hasParam && hasHelp))
        broken.push_back(success ? "(b) success said" : "(b) success not said");
      // Where a removal, or a look at what is to be removed, failed, what could not be
      // proven or removed stays: the next install clears it.
      bool remover = kind == Call::kSetFileAttributesA || kind == Call::kCreateFileA ||
                     kind == Call::kSetFileInformationByHandle ||
                     kind == Call::kGetFileInformationByHandleEx ||
                     kind == Call::kGetSecurityInfo;
      for (const std::string& l : leftovers())
        if (!remover) broken.push_back("(c) left " + l);
      if (hasParam && param != dirs[1]) broken.push_back("(e) ParamDirectory " + param);
      if (hasHelp && (help != dirs[2] + "\\velvor.hlp" || !FileExists(help)))
        broken.push_back("(e) HelpFile " + help);
      if (!leftovers().empty()) {  // only where the remover failed: the next install's
        FailAt(-1, 0);
        install();
        for (const std::string& l : leftovers()) broken.push_back("(c) the next install left " + l);
      }
      for (const std::string& b : broken) ADD_FAILURE() << g_run << ": " << b;
      violations += static_cast<int>(broken.size());
      ++runs;
      kindsFailed.insert(kind);
      InterlockedIncrement(&g_runsDone);
  };
  for (size_t n = 1; n <= kinds.size(); ++n) {
    Call kind = kinds[n - 1];
    std::string name = "call " + std::to_string(n) + " " + kCallNames[static_cast<int>(kind)];
    for (DWORD error : ErrorsOf(kind)) {
      g_run = name + " error " + std::to_string(error);
      run(kind, false, [&] { FailAt(static_cast<long>(n), error); });
    }
    for (int times : {1, 3})
      if (kind == Call::kCopyFileA || kind == Call::kMoveFileExA) {
        g_run = name + " refused " + std::to_string(times) + " times";
        run(kind, true, [&] { FailAt(static_cast<long>(n), ERROR_SHARING_VIOLATION, times); });
      }
  }
  g_run = "the work folder removed mid-way";
  run(Call::kCopyFileA, true, [&] {
    g_removeWorkAt = 2;
    g_system.CopyFileA = CopyAndRemoveWork;
  });
  // A marked leftover with a copy in it, cleared only when its handle proves it ours.
  g_leftover = link;
  auto plantLeftover = [&](DWORD tag, bool otherOwner) {
    MakeDirs(link);
    WriteFileText(link + "\\~vlvmark.tmp", "Velvorine Setup work folder\r\n");
    WriteFileText(link + "\\~vlv0001.tmp", "cut short");
    g_leftoverTag = tag;
    g_system.CreateFileA = NoteLeftover;
    g_system.GetFileInformationByHandleEx = TaggedLeftover;
    if (otherOwner) g_system.GetSecurityInfo = AnotherOwner;
  };
  const std::vector<std::string> kPlanted = {"~vlv0001.tmp", "~vlvmark.tmp"};
  g_run = "a leftover owned by another account";
  run(Call::kGetSecurityInfo, true, [&] { plantLeftover(0, true); });
  EXPECT_EQ(FilesIn(link), kPlanted) << g_run;
  RemoveTree(link);
  g_run = "a leftover whose handle shows a junction";
  run(Call::kGetFileInformationByHandleEx, true, [&] { plantLeftover(IO_REPARSE_TAG_MOUNT_POINT, false); });
  EXPECT_EQ(FilesIn(link), kPlanted) << g_run;
  RemoveTree(link);
  g_run = "a leftover that is a cloud placeholder";
  run(Call::kGetFileInformationByHandleEx, true, [&] { plantLeftover(0x9000601Au, false); });
  EXPECT_FALSE(FileExists(link + "\\~vlvmark.tmp")) << g_run << ": a placeholder is a plain folder";
  RemoveTree(link);
  g_leftover.clear();
  g_answering = 0;
  WaitForSingleObject(answerer, 5000);
  CloseHandle(answerer);
  g_system = kSystemCalls;
  DeleteProductKey();
  printf("fault injection: %d injected failures (each of %zu calls with its errors) across %zu "
         "kinds of call, %d invariant violations\n",
         runs, kinds.size(), kindsFailed.size(), violations);
  EXPECT_GE(runs, 100);
  EXPECT_GE(kindsFailed.size(), 8u);
}

}  // namespace
