#include <string.h>

#include "install/file_placement.h"

#include "install/source_side.h"
#include "install/system_calls.h"

const char kWorkMarker[] = "~vlvmark.tmp";
const char kWorkMarkerText[] = "Velvorine Setup work folder\r\n";

namespace {

// The work folder: "~vlvw" and three hex digits, its own number, beside the files. Under
// Wine each lookup of a name that is not there reads its whole folder, and a new
// temporary name in a folder of thousands of files costs as much as the copy itself.
constexpr size_t kNameLength = sizeof "~vlv0000.tmp" - 1;  // both patterns are 12 long
constexpr unsigned kWorkFolderTries = 16;
// Room the work folder needs behind the directory: its name, a backslash and a
// temporary name, with the terminator. Made only where it fits, so that every work folder
// made can be used and removed.
constexpr size_t kWorkRoom = kNameLength + 1 + kNameLength + 1;

// The waits, in milliseconds, before each retry of a copy or rename refused by a passing
// lock: about a second in all.
constexpr DWORD kLockWaits[] = {50, 100, 200, 300, 350};
constexpr int kLockRetries = sizeof kLockWaits / sizeof kLockWaits[0];

const char kHexDigits[] = "0123456789abcdef";

DWORD WithoutReadOnly(DWORD attributes) {
  attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool IsHexDigit(char c) { return c && strchr("0123456789abcdefABCDEF", c); }

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

// Writes "~vlv" + four hex digits of number + ".tmp" (prefix "~vlvw": three digits).
void FormatName(char (&name)[kNameLength + 1], const char* prefix, unsigned number) {
  memcpy(name, "~vlvw000.tmp", sizeof name);
  size_t digits = strlen(prefix) == 4 ? 4 : 3;
  for (size_t i = 0; i < digits; ++i, number >>= 4) name[7 - i] = kHexDigits[number & 15];
}

// Whether name is "~vlv" + digits hex digits (after any extra letter of prefix) + ".tmp".
bool IsNumberedName(const char* name, const char* prefix) {
  size_t fixed = strlen(prefix);
  if (strlen(name) != kNameLength ||
      CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name, static_cast<int>(fixed), prefix,
                     static_cast<int>(fixed)) != CSTR_EQUAL ||
      CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name + 8, 4, ".tmp", 4) != CSTR_EQUAL)
    return false;
  for (size_t i = fixed; i < 8; ++i)
    if (!IsHexDigit(name[i])) return false;
  return true;
}
bool IsTempCopyName(const char* name) { return IsNumberedName(name, "~vlv"); }
bool IsWorkFolderName(const char* name) { return IsNumberedName(name, "~vlvw"); }

// A file or folder that a search found, and nothing else: no link of any kind.
bool IsPlain(const WIN32_FIND_DATAA& found, bool folder) {
  return !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

// Removes a temporary copy; a copy of read-only media is read-only itself.
bool RemoveTemp(const char* temp) {
  g_system.SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
  return g_system.DeleteFileA(temp) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// Calls visit for each entry of folder (its path with the backslash, of folderLength)
// that matches pattern, with path holding the entry's full path. False when the folder
// could not be searched to its end.
template <typename Visit>
bool ForEachEntry(char (&path)[kPathSize], size_t folderLength, const char* pattern,
                  Visit visit) {
  if (!WriteAtSlot(path, kPathSize, path + folderLength, pattern)) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = g_system.FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    found.cFileName[MAX_PATH - 1] = '\0';
    if (WriteAtSlot(path, kPathSize, path + folderLength, found.cFileName)) visit(found);
  } while (g_system.FindNextFileA(search, &found));
  bool whole = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  return whole;
}

// Whether the work folder in path (with its backslash, of folderLength) holds this
// program's marker: a plain file of exactly the marker's text.
bool HoldsMarker(char (&path)[kPathSize], size_t folderLength) {
  if (!WriteAtSlot(path, kPathSize, path + folderLength, kWorkMarker)) return false;
  HANDLE file = g_system.CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char text[sizeof kWorkMarkerText] = {};
  DWORD read = 0;
  BY_HANDLE_FILE_INFORMATION info = {};
  bool marked = GetFileInformationByHandle(file, &info) &&
                !(info.dwFileAttributes &
                  (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
                ReadFile(file, text, sizeof text, &read, nullptr) &&
                read == sizeof kWorkMarkerText - 1 && memcmp(text, kWorkMarkerText, read) == 0;
  CloseHandle(file);
  return marked;
}

// Empties a work folder (path with its backslash, of folderLength) of this program's
// temporary copies when it holds the marker, then removes the marker once no copy stays,
// then the folder if it is empty. A folder without the marker is only removed if it is
// empty: nothing in it is anyone's to lose.
void ClearWorkFolder(char (&path)[kPathSize], size_t folderLength) {
  if (HoldsMarker(path, folderLength)) {
    bool kept = false;
    bool whole = ForEachEntry(path, folderLength, "~vlv*.tmp", [&](const WIN32_FIND_DATAA& f) {
      if (IsPlain(f, false) && IsTempCopyName(f.cFileName) && !RemoveTemp(path)) kept = true;
    });
    // Kept while a copy stays, so that the next install can still show the folder is ours.
    if (whole && !kept && WriteAtSlot(path, kPathSize, path + folderLength, kWorkMarker))
      g_system.DeleteFileA(path);
  }
  path[folderLength - 1] = '\0';  // the folder, without its backslash
  g_system.RemoveDirectoryA(path);
  path[folderLength - 1] = '\\';
}

// Removes the copy this run made for the file, if it is still there.
void DiscardCopy(Placement& p) {
  if (p.tempMade && !RemoveTemp(p.temp)) p.copyLeft = true;
  p.tempMade = false;
}

// Writes the next temporary name into p.temp, in the work folder or beside the file.
bool NameTemp(Placement& p) {
  const char* folder = p.useWork ? p.work : p.dest;
  size_t length = p.useWork ? p.workLength : p.dirLength;
  memcpy(p.temp, folder, length);  // shorter than the buffer: it held a name behind it
  char name[kNameLength + 1];
  FormatName(name, "~vlv", p.nextTemp++);
  return WriteAtSlot(p.temp, kPathSize, p.temp + length, name);
}

// Step one: the source copied to a temporary name that this run made.
// - In the work folder, which this run made and marked, CopyFileA makes the name itself
//   (failing if it exists), and whatever a failed copy left at it is this run's: no one
//   else's name is in that folder. (Creating it first as below cost a fifth more per small
//   file under Wine.)
// - Beside the files the name is created new (CREATE_NEW) before the copy is written
//   onto it: CopyFileA opens the source before the target, so after a failure on the
//   source side whatever stands at the name would be someone else's.
// An existing name is never written: the next number is tried. A copy refused by a
// passing lock is tried again at a new name.
Failure MakeCopy(Placement& p, const char* source) {
  for (int retry = 0, taken = 0;;) {
    if (!NameTemp(p)) return {Reason::kNoRoomForCopy, 0};
    DWORD error = ERROR_SUCCESS;
    if (!p.useWork) {
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
    if (g_system.CopyFileA(source, p.temp, p.useWork)) {
      p.tempMade = true;
      return {};
    }
    error = GetLastError();
    if (p.useWork && IsExistsError(error) && ++taken < 64) continue;
    if (p.useWork) p.tempMade = !IsExistsError(error);  // in this run's own folder
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

// Whether the work folder that this placement uses is no longer there as a folder of its
// own: removed, or another thing (a link, say) put at its name. One that cannot be looked
// at is taken to be there.
bool WorkFolderGone(const Placement& p) {
  char path[kPathSize];
  memcpy(path, p.work, p.workLength);
  path[p.workLength - 1] = '\0';
  DWORD attributes = g_system.GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  return !(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Makes the work folder under a number that is not taken and marks it as this program's.
void MakeWorkFolder(Placement& p) {
  if (p.dirLength + kWorkRoom > kPathSize) return;  // then never made: every copy beside
  memcpy(p.work, p.dest, p.dirLength);
  for (unsigned number = 0; number < kWorkFolderTries; ++number) {
    char name[kNameLength + 1];
    FormatName(name, "~vlvw", number);
    memcpy(p.work + p.dirLength, name, sizeof name);  // fits: kWorkRoom
    if (g_system.CreateDirectoryA(p.work, nullptr)) {
      p.workLength = p.dirLength + kNameLength + 1;
      p.work[p.workLength - 1] = '\\';
      p.work[p.workLength] = '\0';
      char marker[kPathSize];
      memcpy(marker, p.work, p.workLength);
      memcpy(marker + p.workLength, kWorkMarker, sizeof kWorkMarker);  // fits: kWorkRoom
      HANDLE file = g_system.CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
      DWORD written = 0;
      bool marked = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, kWorkMarkerText, sizeof kWorkMarkerText - 1, &written,
                              nullptr) &&
                    written == sizeof kWorkMarkerText - 1;
      if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        if (!marked) g_system.DeleteFileA(marker);
      }
      p.useWork = marked;
      if (marked) return;
      // Unmarked, the next install could not tell it from another's: not used.
      p.work[p.workLength - 1] = '\0';
      g_system.RemoveDirectoryA(p.work);
      break;
    }
    // A name taken (perhaps somebody else's folder) tries the next number; any other
    // failure leaves the copies beside the files.
    if (!IsExistsError(GetLastError())) break;
  }
  p.work[0] = '\0';
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
  // Work folders that an interrupted install left: only a real folder (no link, whatever
  // it points to) of the exact name; emptied only when it holds the marker.
  char path[kPathSize];
  if (dirLength < kPathSize) {
    memcpy(path, dest, dirLength);
    ForEachEntry(path, dirLength, "~vlvw*.tmp", [&](const WIN32_FIND_DATAA& f) {
      if (!IsPlain(f, true) || !IsWorkFolderName(f.cFileName) || !TextAppend(path, "\\")) return;
      ClearWorkFolder(path, strlen(path));
    });
  }
  MakeWorkFolder(p);
}

void EndPlacement(Placement& p) {
  DiscardCopy(p);
  // Not if something else has been put at its name meanwhile.
  if (p.useWork && !WorkFolderGone(p)) {
    char path[kPathSize];
    memcpy(path, p.work, p.workLength + 1);
    if (p.copyLeft) {
      ClearWorkFolder(path, p.workLength);  // as the next install would
    } else {
      // It holds nothing of this run's but the marker.
      memcpy(path + p.workLength, kWorkMarker, sizeof kWorkMarker);  // fits: kWorkRoom
      g_system.DeleteFileA(path);
      path[p.workLength - 1] = '\0';
      g_system.RemoveDirectoryA(path);
    }
  }
  p.useWork = false;
  p.work[0] = '\0';
}

Failure PlaceFile(Placement& p, const char* source, bool sourceMayBeReadOnly) {
  if (p.dirLength >= kPathSize) return {Reason::kPathTooLong, 0};
  for (bool fellBack = false;;) {
    Failure failure = MakeCopy(p, source);
    if (failure.reason == Reason::kNone) failure = CommitCopy(p, p.dest, sourceMayBeReadOnly);
    if (failure.reason == Reason::kNone) return failure;
    // A work folder gone mid-way takes the copy in it along: once, beside the file.
    if (!fellBack && p.useWork && WorkFolderGone(p)) {
      p.tempMade = false;  // its copy went with it; nothing at that path is ours now
      p.useWork = false;
      fellBack = true;
      continue;
    }
    DiscardCopy(p);
    return failure;
  }
}
