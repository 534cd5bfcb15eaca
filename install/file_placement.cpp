#include <string.h>

#include "install/file_placement.h"

#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/system_calls.h"

namespace {

const char kTempPrefix[] = "~vlv";
const char kTempSuffix[] = ".tmp";
const char kHexDigits[] = "0123456789abcdef";

// The folder, beside the files, in which the temporary copies are made: under Wine each
// lookup of a name that is not there reads its whole folder, and a new temporary name in
// a folder of thousands of files costs as much as the copy itself.
const char kWorkFolder[] = "~vlvwork.tmp";

// Numbers the temporary names; whether this component's copies are made in the work
// folder. Only the copy worker touches them.
unsigned s_tempNumber = 0;
bool s_inWorkFolder = false;
// Whether the last file placed replaced one: in a reinstall the next will too, and its
// attributes are looked at first instead of a rename that fails because it is there.
bool s_expectReplace = false;

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

// Removes a temporary copy of ours; a copy of read-only media is read-only itself.
void RemoveTemp(const char* temp) {
  g_system.SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
  g_system.DeleteFileA(temp);
}

// Copies source to a name of the temporary pattern that did not exist: the copy fails if
// it does, so no existing file is ever written. On failure nothing of ours is left.
Failure CopyToTemp(const char* source, char (&temp)[kPathSize], char* slot) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    char name[] = "~vlv0000.tmp";
    unsigned number = s_tempNumber++;
    for (int i = 7; i >= 4; --i, number >>= 4) name[i] = kHexDigits[number & 15];
    if (!WriteAtSlot(temp, kPathSize, slot, name)) return {Reason::kNoRoomForCopy, 0};
    if (g_system.CopyFileA(source, temp, TRUE)) return {};
    DWORD error = GetLastError();
    if (IsExistsError(error)) continue;  // not ours: another name
    // The name was free, so anything there now is what this copy began.
    RemoveTemp(temp);
    DWORD attributes = g_system.GetFileAttributesA(source);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return {Reason::kIsFolder, 0};
    // The temporary name is new and nobody else's: a file that cannot be shared is the
    // source.
    if (IsInUseError(error)) return {Reason::kSourceInUse, 0};
    return {Reason::kSystem, error};
  }
  return {Reason::kSystem, ERROR_FILE_EXISTS};
}

// Why a rename over dest was refused. Replacing a file that a program holds open, or a
// module that it has loaded, is refused as "access denied", as a permission is: a file
// that cannot even be opened for writing beside the others is in use.
Failure WhyNotReplaced(const char* dest, DWORD error) {
  if (IsInUseError(error)) return {Reason::kInUse, 0};
  if (error != ERROR_ACCESS_DENIED) return {Reason::kSystem, error};
  HANDLE file = g_system.CreateFileA(dest, GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return {Reason::kSystem, error};
  }
  return IsInUseError(GetLastError()) ? Failure{Reason::kInUse, 0} : Failure{Reason::kSystem, error};
}

// Renames the temporary copy over an existing dest, which keeps its attributes but
// read-only. A read-only dest cannot be replaced: its attribute is cleared for the rename
// and put back if the rename fails.
Failure ReplaceWith(const char* temp, const char* dest, DWORD old) {
  if (old & FILE_ATTRIBUTE_DIRECTORY) return {Reason::kFolderInTheWay, 0};
  DWORD kept = WithoutReadOnly(old);
  // The copy has the source's attributes, the archive bit as a rule, which a replaced
  // file may take; any other the old file had (hidden, say) it keeps.
  if (kept & ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL))
    g_system.SetFileAttributesA(temp, kept);
  if (old & FILE_ATTRIBUTE_READONLY) g_system.SetFileAttributesA(dest, kept);
  if (g_system.MoveFileExA(temp, dest, MOVEFILE_REPLACE_EXISTING)) return {};
  Failure failure = WhyNotReplaced(dest, GetLastError());
  if (old & FILE_ATTRIBUTE_READONLY) g_system.SetFileAttributesA(dest, old);
  return failure;
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


Failure PlaceFile(const char* source, const char* dest, size_t dirLength,
                  bool sourceMayBeReadOnly) {
  char temp[kPathSize];
  if (!TextCopy(temp, dest)) return {Reason::kPathTooLong, 0};
  // In the work folder when its path has room for a temporary name, else beside the file.
  char* slot = temp + dirLength;
  if (s_inWorkFolder && WriteAtSlot(temp, kPathSize, slot, kWorkFolder) &&
      TextAppend(temp, "\\~vlv0000.tmp"))
    slot += sizeof kWorkFolder;
  Failure failure = CopyToTemp(source, temp, slot);
  if (failure.reason != Reason::kNone) return failure;

  // Media burnt on a disc are read-only, and a copy takes the source's attributes: an
  // installed file that kept it could not be replaced by the next install.
  DWORD attributes = sourceMayBeReadOnly ? g_system.GetFileAttributesA(temp) : 0;
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      ((attributes & FILE_ATTRIBUTE_READONLY) &&
       !g_system.SetFileAttributesA(temp, WithoutReadOnly(attributes)))) {
    failure = {Reason::kSystem, GetLastError()};
  } else {
    DWORD old = s_expectReplace ? g_system.GetFileAttributesA(dest) : INVALID_FILE_ATTRIBUTES;
    s_expectReplace = true;
    if (old != INVALID_FILE_ATTRIBUTES) {
      failure = ReplaceWith(temp, dest, old);
    } else if (g_system.MoveFileExA(temp, dest, 0)) {
      s_expectReplace = false;
      return {};  // a new name
    } else if (DWORD error = GetLastError(); !IsExistsError(error)) {
      failure = WhyNotReplaced(dest, error);
    } else if ((old = g_system.GetFileAttributesA(dest)) == INVALID_FILE_ATTRIBUTES) {
      failure = {Reason::kSystem, GetLastError()};
    } else {
      failure = ReplaceWith(temp, dest, old);
    }
    if (failure.reason == Reason::kNone) return failure;
  }
  RemoveTemp(temp);
  return failure;
}

namespace {

// Whether name is one of the temporary copies' names ("~vlv", four hex digits, ".tmp").
bool IsTempCopyName(const char* name) {
  if (strlen(name) != sizeof "~vlv0000.tmp" - 1) return false;
  if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name, 4, kTempPrefix, 4) != CSTR_EQUAL ||
      CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name + 8, 4, kTempSuffix, 4) !=
          CSTR_EQUAL)
    return false;
  for (int i = 4; i < 8; ++i)
    if (!IsHexDigit(name[i])) return false;
  return true;
}

// Removes the temporary copies in the folder that path holds up to dirLength.
void RemoveCopiesIn(char (&path)[kPathSize], size_t dirLength) {
  if (!WriteAtSlot(path, kPathSize, path + dirLength, "~vlv*.tmp")) return;
  WIN32_FIND_DATAA found;
  HANDLE search = g_system.FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    found.cFileName[MAX_PATH - 1] = '\0';
    // The search also matches short names: only the pattern's own long names go.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsTempCopyName(found.cFileName) ||
        !WriteAtSlot(path, kPathSize, path + dirLength, found.cFileName))
      continue;
    RemoveTemp(path);
  } while (g_system.FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace

void BeginPlacing(const char* dest, size_t dirLength) {
  s_inWorkFolder = false;
  s_expectReplace = false;
  char path[kPathSize];
  if (!TextCopy(path, dest)) return;
  RemoveCopiesIn(path, dirLength);
  if (!WriteAtSlot(path, kPathSize, path + dirLength, kWorkFolder)) return;
  if (!g_system.CreateDirectoryA(path, nullptr)) {
    // Left by an interrupted install, its copies with it; anything else of that name
    // is not ours to use.
    DWORD attributes = g_system.GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  }
  s_inWorkFolder = TextAppend(path, "\\");
  if (s_inWorkFolder) RemoveCopiesIn(path, dirLength + sizeof kWorkFolder);
}

void EndPlacing(const char* dest, size_t dirLength) {
  char path[kPathSize];
  if (s_inWorkFolder && TextCopy(path, dest) &&
      WriteAtSlot(path, kPathSize, path + dirLength, kWorkFolder))
    g_system.RemoveDirectoryA(path);  // empty unless a copy could not be removed
  s_inWorkFolder = false;
}
