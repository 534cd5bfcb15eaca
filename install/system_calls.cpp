#include "install/system_calls.h"

namespace {

BOOL WINAPI SetProcessMitigationPolicyIfThere(PROCESS_MITIGATION_POLICY policy, PVOID buffer,
                                              SIZE_T length) {
  using Fn = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto set = kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(
                          GetProcAddress(kernel, "SetProcessMitigationPolicy")))
                    : nullptr;
  if (!set) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
  }
  return set(policy, buffer, length);
}

}  // namespace

const SystemCalls kSystemCalls = {
    ::GetCurrentDirectoryW, ::SetCurrentDirectoryA, ::CreateDirectoryA, ::FindFirstFileA,
    ::FindNextFileA,        ::HeapAlloc,            ::HeapReAlloc,      ::CopyFileA,
    ::GetFileAttributesA,   ::SetFileAttributesA,   ::MoveFileExA,      ::CreateFileA,
    ::GetFileInformationByHandleEx, ::SetFileInformationByHandle,
    ::GetSecurityInfo,      ::RegCreateKeyExA,      ::RegSetValueExA,   ::Sleep,
    SetProcessMitigationPolicyIfThere,
};

SystemCalls g_system = kSystemCalls;
