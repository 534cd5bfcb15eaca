#include <string.h>

#include "install/source_list.h"

#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/system_calls.h"

namespace {

// Appends name and its terminator to the list at used, doubling the block while it is
// too small. The last byte of the block stays free for the empty name that ends the
// list. False when the heap cannot give a larger block (the old one is kept).
bool AppendName(char** list, size_t* size, size_t* used, const char* name) {
  while (!WriteAtSlot(*list, *size - 1, *list + *used, name)) {
    void* larger = g_system.HeapReAlloc(GetProcessHeap(), 0, *list, *size * 2);
    if (!larger) return false;
    *list = static_cast<char*>(larger);
    *size *= 2;
  }
  *used += strlen(name) + 1;
  return true;
}

// Whether the folder of the pattern at moduleNameSlot is there.
bool FolderIsThere() {
  char folder[kPathSize];
  if (!TextCopy(folder, g_state.moduleDir)) return false;
  CutAtLastBackslash(folder, AnsiLeadBytes());
  DWORD attributes = g_system.GetFileAttributesA(folder);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

SourceList ListSourceFolder(const char* sourcePattern) {
  SourceList result;
  if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.moduleNameSlot, sourcePattern))
    return result;
  WIN32_FIND_DATAA found;
  HANDLE search = g_system.FindFirstFileA(g_state.moduleDir, &found);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    // A folder that is not there has nothing to copy, quietly; nor has one without even
    // the entries for itself and its parent. A folder said not to be there that is
    // there could not be read.
    if (error == ERROR_PATH_NOT_FOUND && FolderIsThere()) result.error = error;
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) result.error = error;
    return result;
  }
  size_t size = kFileListStart, used = 0;
  char* list = static_cast<char*>(g_system.HeapAlloc(GetProcessHeap(), 0, size));
  if (!list) result.error = ERROR_NOT_ENOUGH_MEMORY;
  while (result.error == ERROR_SUCCESS) {
    found.cFileName[MAX_PATH - 1] = '\0';
    if (!AppendName(&list, &size, &used, found.cFileName)) {
      result.error = ERROR_NOT_ENOUGH_MEMORY;
      break;
    }
    if (!IsDotEntry(found.cFileName)) ++result.filesFound;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) result.anyReadOnly = true;
    if (!g_system.FindNextFileA(search, &found)) {
      DWORD error = GetLastError();
      if (error != ERROR_NO_MORE_FILES) result.error = error;
      break;
    }
  }
  FindClose(search);
  if (result.error != ERROR_SUCCESS) {
    if (list) HeapFree(GetProcessHeap(), 0, list);
    return result;
  }
  list[used] = '\0';
  result.names = list;
  return result;
}
