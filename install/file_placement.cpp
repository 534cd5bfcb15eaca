#include <string.h>

#include "install/file_placement.h"

#include "install/source_side.h"
#include "install/system_calls.h"

namespace {

// The waits, in milliseconds, before each retry of a copy or rename refused by a passing
// lock: about a second in all.
constexpr DWORD kLockWaits[] = {50, 100, 200, 300, 350};
constexpr int kLockRetries = sizeof kLockWaits / sizeof kLockWaits[0];

DWORD WithoutReadOnly(DWORD attributes) {
  attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool IsExistsError(DWORD error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool IsInUseError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// What a virus scanner or the search indexer causes for a moment by opening a file that
// was just written: a rename, or a write to it, is refused.
bool IsPassingLockError(DWORD error) {
  return IsInUseError(error) || error == ERROR_ACCESS_DENIED;
}

// Waits before retry `retry` (0-based), in short steps; false when the user has cancelled
// (then at once) or the retries are used up.
bool WaitForLock(const Placement& p, int retry) {
  if (retry >= kLockRetries) return false;
  for (DWORD left = kLockWaits[retry]; left;) {
    if (p.cancelled && p.cancelled()) return false;
    DWORD step = left < 50 ? left : 50;
    g_system.Sleep(step);
    left -= step;
  }
  return !(p.cancelled && p.cancelled());
}

// Removes the copy this run made for the file, if it is still there. One that a scanner
// still holds after the waits is left to be removed at the next restart, and counted.
void DiscardCopy(Placement& p) {
  if (!p.tempMade) return;
  p.tempMade = false;
  for (int retry = 0;; ++retry) {
    DWORD error = RemoveTempCopy(p.temp);
    if (error == ERROR_SUCCESS) return;
    if (!IsPassingLockError(error) || !WaitForLock(p, retry)) break;
  }
  g_system.MoveFileExA(p.temp, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  ++p.copiesLeft;
}

// Writes the next temporary name into p.temp, in the work folder or beside the file.
bool NameTemp(Placement& p) {
  bool inWork = p.work.length != 0;
  const char* folder = inWork ? p.work.path : p.dest;
  size_t length = inWork ? p.work.length : p.dirLength;
  if (length >= sizeof p.temp) return false;
  memcpy(p.temp, folder, length);
  char name[kTempNameLength + 1];
  FormatTempName(name, p.nextTemp++);
  return WriteAtSlot(p.temp, sizeof p.temp, p.temp + length, name);
}

// Step one: the source copied to a temporary name that this run made.
// - In the work folder, which this run made and holds, CopyFileA makes the name itself
//   (failing if it exists), and whatever a failed copy left at it is this run's. (Creating
//   it first as below cost a fifth more per small file under Wine.)
// - Beside the files the name is created new (CREATE_NEW) before the copy is written
//   onto it: CopyFileA opens the source before the target, so after a failure on the
//   source side whatever stands at the name would be someone else's.
// An existing name is never written: the next number is tried. A copy refused by a
// passing lock is tried again at a new name.
Failure MakeCopy(Placement& p, const char* source) {
  bool inWork = p.work.length != 0;
  for (int retry = 0, taken = 0;;) {
    if (!NameTemp(p)) return {Reason::kNoRoomForCopy, 0};
    DWORD error = ERROR_SUCCESS;
    if (!inWork) {
      HANDLE file = g_system.CreateFileA(p.temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        if (IsExistsError(error) && ++taken < 64) continue;
        return {Reason::kSystem, error};
      }
      CloseHandle(file);
      p.tempMade = true;
    }
    if (g_system.CopyFileA(source, p.temp, inWork)) {
      p.tempMade = true;
      return {};
    }
    error = GetLastError();
    if (inWork && IsExistsError(error) && ++taken < 64) continue;
    if (inWork) p.tempMade = !IsExistsError(error);  // in this run's own folder
    DiscardCopy(p);
    DWORD attributes = g_system.GetFileAttributesA(source);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return {Reason::kIsFolder, 0};
    if (IsPassingLockError(error) && WaitForLock(p, retry++)) continue;
    return WhyNotCopied(source, error);  // the media's side, or the copy's
  }
}

// Whether dest is held by a program: opened by it without delete sharing (which the
// rename needs), or mapped as a module, which refuses writing.
bool IsHeld(const char* dest) {
  const DWORD kProbes[] = {DELETE, FILE_WRITE_DATA};
  for (DWORD access : kProbes) {
    HANDLE file = g_system.CreateFileA(dest, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (IsInUseError(GetLastError())) return true;
    } else {
      CloseHandle(file);
    }
  }
  return false;
}

// Why a rename to dest was refused. A held file is refused as "access denied" or a
// sharing violation: on the last try, a probe tells which it is.
Failure WhyNotRenamed(const char* dest, DWORD error, bool lastTry) {
  if (lastTry && IsPassingLockError(error) && IsHeld(dest)) return {Reason::kInUse, 0};
  return {Reason::kSystem, error};
}

// One rename of the copy over an existing dest, which keeps its attributes but read-only.
// A read-only dest cannot be replaced: its attribute is cleared for the rename and put
// back if the rename fails.
Failure ReplaceWith(Placement& p, const char* dest, DWORD old, bool lastTry) {
  if (old & FILE_ATTRIBUTE_DIRECTORY) return {Reason::kFolderInTheWay, 0};
  DWORD kept = WithoutReadOnly(old);
  // The copy has the source's attributes, the archive bit as a rule, which a replaced
  // file may take; any other the old file had (hidden, say) it keeps.
  if (kept & ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL))
    g_system.SetFileAttributesA(p.temp, kept);
  if (old & FILE_ATTRIBUTE_READONLY) g_system.SetFileAttributesA(dest, kept);
  if (g_system.MoveFileExA(p.temp, dest, MOVEFILE_REPLACE_EXISTING)) {
    p.tempMade = false;
    return {};
  }
  Failure failure = WhyNotRenamed(dest, GetLastError(), lastTry);  // while still writable
  if (old & FILE_ATTRIBUTE_READONLY) g_system.SetFileAttributesA(dest, old);
  return failure;
}

// One try at the rename: to a new name, or over the file there.
Failure RenameOnce(Placement& p, const char* dest, bool lastTry) {
  DWORD old = p.expectReplace ? g_system.GetFileAttributesA(dest) : INVALID_FILE_ATTRIBUTES;
  p.expectReplace = true;
  if (old == INVALID_FILE_ATTRIBUTES) {
    if (g_system.MoveFileExA(p.temp, dest, 0)) {
      p.tempMade = false;
      p.expectReplace = false;
      return {};  // a new name
    }
    DWORD error = GetLastError();
    if (!IsExistsError(error)) return WhyNotRenamed(dest, error, lastTry);
    if ((old = g_system.GetFileAttributesA(dest)) == INVALID_FILE_ATTRIBUTES)
      return {Reason::kSystem, GetLastError()};
  }
  return ReplaceWith(p, dest, old, lastTry);
}

// Step two: the copy made fit to stay, and renamed into place.
Failure CommitCopy(Placement& p, const char* dest, bool sourceMayBeReadOnly) {
  // Media burnt on a disc are read-only, and a copy takes the source's attributes: an
  // installed file that kept it could not be replaced by the next install.
  DWORD attributes = sourceMayBeReadOnly ? g_system.GetFileAttributesA(p.temp) : 0;
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      ((attributes & FILE_ATTRIBUTE_READONLY) &&
       !g_system.SetFileAttributesA(p.temp, WithoutReadOnly(attributes))))
    return {Reason::kSystem, GetLastError()};
  for (int retry = 0;; ++retry) {
    bool lastTry = retry >= kLockRetries;
    Failure failure = RenameOnce(p, dest, lastTry);
    if (failure.reason != Reason::kSystem || !IsPassingLockError(failure.error) || lastTry ||
        !WaitForLock(p, retry))
      return failure;
  }
}

}  // namespace

bool RetryMayHelp(Reason reason) {
  switch (reason) {
    case Reason::kIsFolder:
    case Reason::kPathTooLong:
    case Reason::kSourceTooLong:
    case Reason::kNoRoomForCopy:
      return false;
    default:
      return true;
  }
}

void BeginPlacement(Placement& p, const char* dest, size_t dirLength, bool (*cancelled)()) {
  p = Placement{};
  p.dest = dest;
  p.dirLength = dirLength;
  p.cancelled = cancelled;
  ClearLeftovers(dest, dirLength);
  MakeWorkFolder(p.work, dest, dirLength);
}

void EndPlacement(Placement& p) {
  DiscardCopy(p);
  CloseWorkFolder(p.work, p.copiesLeft != 0);
}

Failure PlaceFile(Placement& p, const char* source, bool sourceMayBeReadOnly) {
  if (p.dirLength >= kPathSize) return {Reason::kPathTooLong, 0};
  Failure failure = MakeCopy(p, source);
  if (failure.reason == Reason::kNone) failure = CommitCopy(p, p.dest, sourceMayBeReadOnly);
  if (failure.reason != Reason::kNone) DiscardCopy(p);
  return failure;
}
