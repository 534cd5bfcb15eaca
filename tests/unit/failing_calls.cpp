#include "tests/unit/failing_calls.h"

#include <vector>

namespace {

volatile LONG g_calls = 0;
volatile LONG g_ofKind[static_cast<int>(Call::kCount)] = {};
long g_failAt = 0;
Call g_failKind = Call::kCount;
DWORD g_error = 0;
bool g_failed = false;
std::vector<Call>* g_kinds = nullptr;  // the kind of each call, in order

// Counts the call; true when it is the one to fail.
bool Hit(Call kind) {
  long all = InterlockedIncrement(&g_calls);
  long mine = InterlockedIncrement(&g_ofKind[static_cast<int>(kind)]);
  if (g_kinds) g_kinds->push_back(kind);
  long n = g_failKind == Call::kCount ? all : (kind == g_failKind ? mine : 0);
  if (g_failAt == 0 || n != g_failAt) return false;
  g_failed = true;
  return true;
}

#define COUNTED(Ret, name, kind, params, args, ...)        \
  Ret WINAPI Counted##name params {                         \
    if (Hit(Call::kind)) { __VA_ARGS__; }                   \
    return kSystemCalls.name args;                          \
  }
#define FAIL_WITH(value) SetLastError(g_error); return value

COUNTED(DWORD, GetCurrentDirectoryA, kGetCurrentDirectory, (DWORD n, LPSTR b), (n, b), FAIL_WITH(0))
COUNTED(BOOL, SetCurrentDirectoryA, kSetCurrentDirectory, (LPCSTR p), (p), FAIL_WITH(FALSE))
COUNTED(BOOL, CreateDirectoryA, kCreateDirectory, (LPCSTR p, LPSECURITY_ATTRIBUTES s), (p, s),
        FAIL_WITH(FALSE))
COUNTED(HANDLE, FindFirstFileA, kFindFirstFile, (LPCSTR p, LPWIN32_FIND_DATAA f), (p, f),
        FAIL_WITH(INVALID_HANDLE_VALUE))
COUNTED(BOOL, FindNextFileA, kFindNextFile, (HANDLE h, LPWIN32_FIND_DATAA f), (h, f),
        FAIL_WITH(FALSE))
COUNTED(LPVOID, HeapAlloc, kHeapAlloc, (HANDLE h, DWORD f, SIZE_T n), (h, f, n), return nullptr)
COUNTED(LPVOID, HeapReAlloc, kHeapReAlloc, (HANDLE h, DWORD f, LPVOID p, SIZE_T n), (h, f, p, n),
        return nullptr)
COUNTED(BOOL, CopyFileA, kCopyFile, (LPCSTR s, LPCSTR d, BOOL x), (s, d, x), FAIL_WITH(FALSE))
COUNTED(DWORD, GetFileAttributesA, kGetFileAttributes, (LPCSTR p), (p),
        FAIL_WITH(INVALID_FILE_ATTRIBUTES))
COUNTED(BOOL, SetFileAttributesA, kSetFileAttributes, (LPCSTR p, DWORD a), (p, a), FAIL_WITH(FALSE))
COUNTED(BOOL, MoveFileExA, kMoveFileEx, (LPCSTR s, LPCSTR d, DWORD f), (s, d, f), FAIL_WITH(FALSE))
COUNTED(BOOL, DeleteFileA, kDeleteFile, (LPCSTR p), (p), FAIL_WITH(FALSE))
COUNTED(HANDLE, CreateFileA, kCreateFile,
        (LPCSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t),
        (p, a, s, sa, c, f, t), FAIL_WITH(INVALID_HANDLE_VALUE))
COUNTED(LSTATUS, RegCreateKeyExA, kRegCreateKeyEx,
        (HKEY k, LPCSTR n, DWORD r, LPSTR c, DWORD o, REGSAM s, LPSECURITY_ATTRIBUTES sa,
         PHKEY out, LPDWORD d),
        (k, n, r, c, o, s, sa, out, d), return static_cast<LSTATUS>(g_error))
COUNTED(LSTATUS, RegSetValueExA, kRegSetValueEx,
        (HKEY k, LPCSTR n, DWORD r, DWORD t, const BYTE* v, DWORD size), (k, n, r, t, v, size),
        return static_cast<LSTATUS>(g_error))

std::vector<Call> s_kinds;

}  // namespace

const char* CallName(Call call) {
  static const char* const kNames[] = {
      "GetCurrentDirectoryA", "SetCurrentDirectoryA", "CreateDirectoryA", "FindFirstFileA",
      "FindNextFileA",        "HeapAlloc",            "HeapReAlloc",      "CopyFileA",
      "GetFileAttributesA",   "SetFileAttributesA",   "MoveFileExA",      "DeleteFileA",
      "CreateFileA",          "RegCreateKeyExA",      "RegSetValueExA"};
  return call < Call::kCount ? kNames[static_cast<int>(call)] : "?";
}

FailingCalls::FailingCalls() {
  g_calls = 0;
  for (volatile LONG& n : g_ofKind) n = 0;
  g_failAt = 0;
  g_failed = false;
  s_kinds.clear();
  g_kinds = &s_kinds;
  g_system = {CountedGetCurrentDirectoryA, CountedSetCurrentDirectoryA, CountedCreateDirectoryA,
              CountedFindFirstFileA,       CountedFindNextFileA,        CountedHeapAlloc,
              CountedHeapReAlloc,          CountedCopyFileA,            CountedGetFileAttributesA,
              CountedSetFileAttributesA,   CountedMoveFileExA,          CountedDeleteFileA,
              CountedCreateFileA,          CountedRegCreateKeyExA,      CountedRegSetValueExA};
}

FailingCalls::~FailingCalls() {
  g_system = kSystemCalls;
  g_kinds = nullptr;
}

void FailingCalls::Fail(long nth, DWORD error, Call kind) {
  g_calls = 0;
  for (volatile LONG& n : g_ofKind) n = 0;
  g_failed = false;
  g_failAt = nth;
  g_error = error;
  g_failKind = kind;
  g_kinds = nullptr;  // the first run's order is kept
}

long FailingCalls::calls() const { return g_calls; }

Call FailingCalls::kindOf(long nth) const {
  return nth >= 1 && nth <= static_cast<long>(s_kinds.size()) ? s_kinds[nth - 1] : Call::kCount;
}

bool FailingCalls::failed() const { return g_failed; }
