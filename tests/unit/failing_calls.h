// Counts the install step's system calls (through g_system) and makes a chosen one fail
// with a chosen error, as the field would: a denied folder, a file in use, a full drive.
#pragma once

#include <windows.h>

#include <vector>

enum class Call {
  kGetCurrentDirectory, kSetCurrentDirectory, kCreateDirectory, kRemoveDirectory, kFindFirstFile,
  kFindNextFile, kHeapAlloc, kHeapReAlloc, kCopyFile, kGetFileAttributes, kSetFileAttributes,
  kMoveFileEx, kDeleteFile, kCreateFile, kRegCreateKeyEx, kRegSetValueEx, kAny
};
const char* CallName(Call call);

// While it lives, every call is counted (and its kind kept in order); from Fail on, the
// nth call of kind (counted from 1) returns its failure with error.
struct FailingCalls {
  FailingCalls();
  ~FailingCalls();
  void Fail(long nth, DWORD error, Call kind = Call::kAny);
  std::vector<Call> kinds;
};
