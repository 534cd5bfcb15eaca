// The file, folder, heap and registry calls of the install step, and its waits, in one
// table that the program fills with the system's own. Tests replace entries to make a call
// fail, or a wait pass at once.
#pragma once

#include <windows.h>

struct SystemCalls {
  decltype(&::GetCurrentDirectoryW) GetCurrentDirectoryW;
  decltype(&::SetCurrentDirectoryA) SetCurrentDirectoryA;
  decltype(&::CreateDirectoryA) CreateDirectoryA;
  decltype(&::RemoveDirectoryA) RemoveDirectoryA;
  decltype(&::FindFirstFileA) FindFirstFileA;
  decltype(&::FindNextFileA) FindNextFileA;
  decltype(&::HeapAlloc) HeapAlloc;
  decltype(&::HeapReAlloc) HeapReAlloc;
  decltype(&::CopyFileA) CopyFileA;
  decltype(&::GetFileAttributesA) GetFileAttributesA;
  decltype(&::SetFileAttributesA) SetFileAttributesA;
  decltype(&::MoveFileExA) MoveFileExA;
  decltype(&::DeleteFileA) DeleteFileA;
  decltype(&::CreateFileA) CreateFileA;
  decltype(&::RegCreateKeyExA) RegCreateKeyExA;
  decltype(&::RegSetValueExA) RegSetValueExA;
  decltype(&::Sleep) Sleep;
};

// The system's calls.
extern const SystemCalls kSystemCalls;
// What the install step calls: kSystemCalls unless a test has put others in.
extern SystemCalls g_system;
