#include "tests/unit/failing_calls.h"

#include "install/system_calls.h"

namespace {

FailingCalls* g_calls = nullptr;
volatile LONG g_counts[static_cast<int>(Call::kAny) + 1];
long g_nth = 0;
Call g_kind = Call::kAny;
DWORD g_error = 0;

// Counts the call; true when it is the one to fail.
bool Hit(Call kind) {
  long all = InterlockedIncrement(&g_counts[static_cast<int>(Call::kAny)]);
  long mine = InterlockedIncrement(&g_counts[static_cast<int>(kind)]);
  if (g_nth == 0) {
    if (g_calls) g_calls->kinds.push_back(kind);
    return false;
  }
  if (g_nth != (g_kind == Call::kAny ? all : kind == g_kind ? mine : 0)) return false;
  SetLastError(g_error);
  return true;
}

#define COUNTED(Ret, name, params, args, failure) \
  Ret WINAPI Counted##name params {               \
    if (Hit(Call::k##name)) return failure;        \
    return kSystemCalls.name##A args;              \
  }
COUNTED(DWORD, GetCurrentDirectory, (DWORD n, LPSTR b), (n, b), 0)
COUNTED(BOOL, SetCurrentDirectory, (LPCSTR p), (p), FALSE)
COUNTED(BOOL, CreateDirectory, (LPCSTR p, LPSECURITY_ATTRIBUTES s), (p, s), FALSE)
COUNTED(BOOL, RemoveDirectory, (LPCSTR p), (p), FALSE)
COUNTED(HANDLE, FindFirstFile, (LPCSTR p, LPWIN32_FIND_DATAA f), (p, f), INVALID_HANDLE_VALUE)
COUNTED(BOOL, FindNextFile, (HANDLE h, LPWIN32_FIND_DATAA f), (h, f), FALSE)
COUNTED(BOOL, CopyFile, (LPCSTR s, LPCSTR d, BOOL x), (s, d, x), FALSE)
COUNTED(DWORD, GetFileAttributes, (LPCSTR p), (p), INVALID_FILE_ATTRIBUTES)
COUNTED(BOOL, SetFileAttributes, (LPCSTR p, DWORD a), (p, a), FALSE)
COUNTED(BOOL, MoveFileEx, (LPCSTR s, LPCSTR d, DWORD f), (s, d, f), FALSE)
COUNTED(BOOL, DeleteFile, (LPCSTR p), (p), FALSE)
COUNTED(HANDLE, CreateFile,
        (LPCSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t),
        (p, a, s, sa, c, f, t), INVALID_HANDLE_VALUE)
COUNTED(LSTATUS, RegCreateKeyEx,
        (HKEY k, LPCSTR n, DWORD r, LPSTR c, DWORD o, REGSAM s, LPSECURITY_ATTRIBUTES sa,
         PHKEY out, LPDWORD d),
        (k, n, r, c, o, s, sa, out, d), static_cast<LSTATUS>(g_error))
COUNTED(LSTATUS, RegSetValueEx, (HKEY k, LPCSTR n, DWORD r, DWORD t, const BYTE* v, DWORD size),
        (k, n, r, t, v, size), static_cast<LSTATUS>(g_error))
LPVOID WINAPI CountedHeapAlloc(HANDLE h, DWORD f, SIZE_T n) {
  return Hit(Call::kHeapAlloc) ? nullptr : kSystemCalls.HeapAlloc(h, f, n);
}
LPVOID WINAPI CountedHeapReAlloc(HANDLE h, DWORD f, LPVOID p, SIZE_T n) {
  return Hit(Call::kHeapReAlloc) ? nullptr : kSystemCalls.HeapReAlloc(h, f, p, n);
}

}  // namespace

const char* CallName(Call call) {
  static const char* const kNames[] = {
      "GetCurrentDirectoryA", "SetCurrentDirectoryA", "CreateDirectoryA", "RemoveDirectoryA",
      "FindFirstFileA",
      "FindNextFileA", "HeapAlloc", "HeapReAlloc", "CopyFileA", "GetFileAttributesA",
      "SetFileAttributesA", "MoveFileExA", "DeleteFileA", "CreateFileA", "RegCreateKeyExA",
      "RegSetValueExA", "any"};
  return kNames[static_cast<int>(call)];
}

FailingCalls::FailingCalls() {
  g_calls = this;
  Fail(0, 0);
  g_system = {CountedGetCurrentDirectory, CountedSetCurrentDirectory, CountedCreateDirectory,
              CountedRemoveDirectory,      CountedFindFirstFile,       CountedFindNextFile,        CountedHeapAlloc,
              CountedHeapReAlloc,         CountedCopyFile,            CountedGetFileAttributes,
              CountedSetFileAttributes,   CountedMoveFileEx,          CountedDeleteFile,
              CountedCreateFile,          CountedRegCreateKeyEx,      CountedRegSetValueEx};
}

FailingCalls::~FailingCalls() {
  g_system = kSystemCalls;
  g_calls = nullptr;
}

void FailingCalls::Fail(long nth, DWORD error, Call kind) {
  for (volatile LONG& n : g_counts) n = 0;
  g_nth = nth;
  g_error = error;
  g_kind = kind;
}
