// Counts the install step's system calls (through g_system) and makes a chosen one fail
// with a chosen error, as the field would: a denied folder, a file in use, a full drive.
#pragma once

#include <windows.h>

#include "install/system_calls.h"

enum class Call {
  kGetCurrentDirectory, kSetCurrentDirectory, kCreateDirectory, kFindFirstFile,
  kFindNextFile, kHeapAlloc, kHeapReAlloc, kCopyFile, kGetFileAttributes, kSetFileAttributes,
  kMoveFileEx, kDeleteFile, kCreateFile, kRegCreateKeyEx, kRegSetValueEx, kCount
};
const char* CallName(Call call);

// While it lives, every call is counted; the failing one (0: none) returns the call's
// failure with the error (heap calls fail without one).
class FailingCalls {
 public:
  FailingCalls();
  ~FailingCalls();
  // From now on, counted afresh: the nth call of all (kind kCount) or of one kind,
  // counted from 1, fails with error. The order of the calls before is kept (kindOf).
  void Fail(long nth, DWORD error, Call kind = Call::kCount);
  long calls() const;               // counted so far
  Call kindOf(long nth) const;      // of the first run's calls; kCount past them
  bool failed() const;              // the failing call has come
};
