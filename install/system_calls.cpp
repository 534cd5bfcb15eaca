#include "install/system_calls.h"

const SystemCalls kSystemCalls = {
    ::GetCurrentDirectoryW, ::SetCurrentDirectoryA, ::CreateDirectoryA, ::RemoveDirectoryA,
    ::FindFirstFileA,
    ::FindNextFileA,        ::HeapAlloc,            ::HeapReAlloc,      ::CopyFileA,
    ::GetFileAttributesA,   ::SetFileAttributesA,   ::MoveFileExA,      ::DeleteFileA,
    ::CreateFileA,          ::RegCreateKeyExA,      ::RegSetValueExA,   ::Sleep,
};

SystemCalls g_system = kSystemCalls;
