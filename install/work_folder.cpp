#include <string.h>

#include <utility>

#include "install/work_folder.h"

#include "install/system_calls.h"

const char kWorkMarker[] = "~vlvmark.tmp";
const char kWorkMarkerText[] = "Velvorine Setup work folder\r\n";

namespace {

// Tried in turn; under Wine each lookup of a name that is not there reads its whole folder.
constexpr unsigned kWorkFolderTries = 16;
// Room the work folder needs behind the directory: its name, a backslash and a temporary
// name, with the terminator. Made only where it fits, so that every work folder made can
// be used and removed.
constexpr size_t kWorkRoom = kTempNameLength + 1 + kTempNameLength + 1;

const char kHexDigits[] = "0123456789abcdef";

bool IsHexDigit(char c) { return c && strchr("0123456789abcdefABCDEF", c); }

// Writes "~vlv" + four hex digits of number + ".tmp" (prefix "~vlvw": three digits).
void FormatName(char (&name)[kTempNameLength + 1], const char* prefix, unsigned number) {
  memcpy(name, "~vlvw000.tmp", sizeof name);
  size_t digits = strlen(prefix) == 4 ? 4 : 3;
  for (size_t i = 0; i < digits; ++i, number >>= 4) name[7 - i] = kHexDigits[number & 15];
}

// Whether name is "~vlv" + hex digits (after any extra letter of prefix) + ".tmp".
bool IsNumberedName(const char* name, const char* prefix) {
  size_t fixed = strlen(prefix);
  if (strlen(name) != kTempNameLength ||
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

// The two passes over a held work folder's entries.
enum class Pass {
  kCheck,         // that it holds nothing but its marker and temporary copies
  kRemoveCopies,  // removes its temporary copies
};

// Makes the pass over each entry of the folder held on folder, whose path (with the
// backslash, of folderLength) path holds; the entries are listed on that handle (a search
// by name would open the folder again, which its holding refuses under Wine). A name that
// is not plain ASCII is none of ours. False when the folder could not be listed to its
// end, or an entry failed the pass.
bool PassOver(HANDLE folder, char (&path)[kPathSize], size_t folderLength, Pass pass) {
  alignas(8) BYTE buffer[4096];
  bool passed = true;
  for (FILE_INFO_BY_HANDLE_CLASS next = FileIdBothDirectoryRestartInfo;;
       next = FileIdBothDirectoryInfo) {
    if (!g_system.GetFileInformationByHandleEx(folder, next, buffer, sizeof buffer))
      return passed && GetLastError() == ERROR_NO_MORE_FILES;
    for (BYTE* at = buffer;;) {
      auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(at);
      char name[kTempNameLength + 1] = "";
      size_t units = entry->FileNameLength / sizeof(WCHAR);
      bool plain = units < sizeof name;
      for (size_t i = 0; plain && i < units; ++i) {
        plain = entry->FileName[i] > 0 && entry->FileName[i] < 0x80;
        name[i] = static_cast<char>(entry->FileName[i]);
      }
      bool copy = plain && (name[units] = '\0', IsTempCopyName(name));
      if (pass == Pass::kCheck) {
        if (!copy && !(plain && (!strcmp(name, ".") || !strcmp(name, "..") ||
                                 !strcmp(name, kWorkMarker))))
          passed = false;
      } else if (copy && (!WriteAtSlot(path, kPathSize, path + folderLength, name) ||
                          RemoveTempCopy(path) != ERROR_SUCCESS)) {
        passed = false;
      }
      if (!entry->NextEntryOffset) break;
      at += entry->NextEntryOffset;
    }
  }
}

// Opens the marker of the folder (path with its backslash, of folderLength) and holds it
// if it is this program's: a plain file whose text is the marker's, whole or cut short.
HeldHandle OpenMarker(char (&path)[kPathSize], size_t folderLength) {
  if (!WriteAtSlot(path, kPathSize, path + folderLength, kWorkMarker)) return HeldHandle();
  HeldHandle marker(g_system.CreateFileA(
      path, GENERIC_READ | FILE_WRITE_ATTRIBUTES | DELETE, FILE_SHARE_READ, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!marker.IsOpen() || KindOf(marker.Get()) != Kind::kFile) return HeldHandle();
  char text[sizeof kWorkMarkerText] = {};
  DWORD read = 0;
  if (!ReadFile(marker.Get(), text, sizeof text, &read, nullptr) ||
      read >= sizeof kWorkMarkerText || memcmp(text, kWorkMarkerText, read) != 0)
    return HeldHandle();
  return marker;
}

// A leftover work folder (path with its backslash, of folderLength): held, then cleared
// and removed if proven this program's; else removed only if empty.
void ClearLeftover(char (&path)[kPathSize], size_t folderLength) {
  path[folderLength - 1] = '\0';
  HeldHandle folder = HoldFolder(path, true);
  path[folderLength - 1] = '\\';
  // Not open: a live run's (it holds it), gone, or not ours to open.
  if (!folder.IsOpen() || KindOf(folder.Get()) != Kind::kFolder) return;
  if (OwnedByUs(folder.Get())) {
    HeldHandle marker = OpenMarker(path, folderLength);
    // The marker is kept while a copy stays, so that the next install can still show
    // the folder ours.
    if (marker.IsOpen() && PassOver(folder.Get(), path, folderLength, Pass::kCheck) &&
        PassOver(folder.Get(), path, folderLength, Pass::kRemoveCopies))
      RemoveByHandle(marker.Get(), Kind::kFile);
  }
  RemoveByHandle(folder.Get(), Kind::kFolder);  // only if empty
}

}  // namespace

void FormatTempName(char (&name)[kTempNameLength + 1], unsigned number) {
  FormatName(name, "~vlv", number);
}

DWORD RemoveTempCopy(const char* path) {
  HeldHandle entry = OpenToRemove(path);
  if (!entry.IsOpen()) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
  }
  Kind kind = KindOf(entry.Get());
  if (kind == Kind::kUnknown) return GetLastError();
  if (kind != Kind::kFile) return ERROR_SUCCESS;  // put there by someone else: left alone
  return RemoveByHandle(entry.Get(), kind) ? ERROR_SUCCESS : GetLastError();
}

void ClearLeftovers(const char* dest, size_t dirLength) {
  char path[kPathSize];
  if (dirLength >= kPathSize) return;
  memcpy(path, dest, dirLength);
  if (!WriteAtSlot(path, kPathSize, path + dirLength, "~vlvw*.tmp")) return;
  WIN32_FIND_DATAA found;
  HANDLE search = g_system.FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    found.cFileName[MAX_PATH - 1] = '\0';
    if (IsWorkFolderName(found.cFileName) &&
        WriteAtSlot(path, kPathSize, path + dirLength, found.cFileName) && TextAppend(path, "\\"))
      ClearLeftover(path, dirLength + kTempNameLength + 1);
  } while (g_system.FindNextFileA(search, &found));
  FindClose(search);
}

bool MakeWorkFolder(WorkFolder& work, const char* dest, size_t dirLength) {
  work = WorkFolder{};
  if (dirLength + kWorkRoom > kPathSize) return false;  // every copy beside the files
  memcpy(work.path, dest, dirLength);
  for (unsigned number = 0; number < kWorkFolderTries; ++number) {
    char name[kTempNameLength + 1];
    FormatName(name, "~vlvw", number);
    if (!WriteAtSlot(work.path, kPathSize, work.path + dirLength, name)) break;
    if (!g_system.CreateDirectoryA(work.path, nullptr)) {
      // A name taken (perhaps somebody else's folder) tries the next number; any other
      // failure leaves the copies beside the files.
      DWORD error = GetLastError();
      if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) continue;
      break;
    }
    // Held at once and checked on the handle: something else may have been put at the
    // name since. Then it is not used, nor removed.
    HeldHandle folder = HoldFolder(work.path, true);
    if (!folder.IsOpen() || KindOf(folder.Get()) != Kind::kFolder || !OwnedByUs(folder.Get()))
      break;
    size_t length = dirLength + kTempNameLength + 1;
    work.path[length - 1] = '\\';
    char marker[kPathSize];
    HeldHandle mark;
    if (TextCopy(marker, work.path) && TextAppend(marker, kWorkMarker))
      mark = HeldHandle(g_system.CreateFileA(marker, GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                             nullptr));
    DWORD written = 0;
    if (mark.IsOpen() && WriteFile(mark.Get(), kWorkMarkerText, sizeof kWorkMarkerText - 1,
                                   &written, nullptr) &&
        written == sizeof kWorkMarkerText - 1) {
      work.length = length;
      work.folder = std::move(folder);
      work.marker = std::move(mark);
      return true;
    }
    // Unmarked it would be no one's the next install could prove: not used.
    if (mark.IsOpen()) RemoveByHandle(mark.Get(), Kind::kFile);
    mark.Close();
    RemoveByHandle(folder.Get(), Kind::kFolder);
    break;
  }
  work.path[0] = '\0';
  return false;
}

void CloseWorkFolder(WorkFolder& work, bool copiesLeft) {
  if (!work.length) return;
  if (!copiesLeft) {
    RemoveByHandle(work.marker.Get(), Kind::kFile);
    work.marker.Close();  // gone now, so that the folder is empty
    RemoveByHandle(work.folder.Get(), Kind::kFolder);
  }
  work = WorkFolder{};
}
