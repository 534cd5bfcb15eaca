// The file, folder, heap, security and registry calls of the install step, and its waits,
// in one table that the program fills with the system's own. Tests replace entries to make
// a call fail, a wait pass at once, or a handle report what Wine cannot make (a junction,
// another owner).
#pragma once

#include <windows.h>
#include <aclapi.h>

struct SystemCalls {
  decltype(&::GetCurrentDirectoryW) GetCurrentDirectoryW;
  decltype(&::SetCurrentDirectoryA) SetCurrentDirectoryA;
  decltype(&::CreateDirectoryA) CreateDirectoryA;
  decltype(&::FindFirstFileA) FindFirstFileA;
  decltype(&::FindNextFileA) FindNextFileA;
  decltype(&::HeapAlloc) HeapAlloc;
  decltype(&::HeapReAlloc) HeapReAlloc;
  decltype(&::CopyFileA) CopyFileA;
  decltype(&::GetFileAttributesA) GetFileAttributesA;
  decltype(&::SetFileAttributesA) SetFileAttributesA;
  decltype(&::MoveFileExA) MoveFileExA;
  decltype(&::CreateFileA) CreateFileA;
  decltype(&::GetFileInformationByHandleEx) GetFileInformationByHandleEx;
  decltype(&::SetFileInformationByHandle) SetFileInformationByHandle;
  decltype(&::GetSecurityInfo) GetSecurityInfo;
  decltype(&::RegCreateKeyExA) RegCreateKeyExA;
  decltype(&::RegSetValueExA) RegSetValueExA;
  decltype(&::Sleep) Sleep;
  // Looked up at run time: systems before Windows 8 lack it (then it fails with
  // ERROR_PROC_NOT_FOUND).
  BOOL(WINAPI* SetProcessMitigationPolicy)(PROCESS_MITIGATION_POLICY policy, PVOID buffer,
                                           SIZE_T length);
};

// The system's calls.
extern const SystemCalls kSystemCalls;
// What the install step calls: kSystemCalls unless a test has put others in.
extern SystemCalls g_system;
