#include <string.h>

#include "install/source_list.h"

#include "app/installer_state.h"
#include "app/path_text.h"
#include "app/source_folder.h"
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

}  // namespace

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

SourceList ListSourceFolder(const char* sourcePattern) {
  SourceList result;
  if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.moduleNameSlot, sourcePattern))
    return result;
  size_t size = kFileListStart, used = 0;
  char* list = nullptr;
  const FolderSearchCalls calls = {g_system.FindFirstFileA, g_system.FindNextFileA,
                                   g_system.GetFileAttributesA};
  FolderSearch search = SearchSourceFolder(g_state.moduleDir, [&](const WIN32_FIND_DATAA& e) {
    if (!list && !(list = static_cast<char*>(g_system.HeapAlloc(GetProcessHeap(), 0, size))))
      return DWORD{ERROR_NOT_ENOUGH_MEMORY};
    if (!AppendName(&list, &size, &used, e.cFileName)) return DWORD{ERROR_NOT_ENOUGH_MEMORY};
    if (!IsDotEntry(e.cFileName)) ++result.filesFound;
    if (e.dwFileAttributes & FILE_ATTRIBUTE_READONLY) result.anyReadOnly = true;
    return DWORD{ERROR_SUCCESS};
  }, calls);
  // Absent or empty: nothing to copy, quietly.
  if (search.found == FolderFound::kUnreadable) {
    result.error = search.error;
    if (list) HeapFree(GetProcessHeap(), 0, list);
    return result;
  }
  if (!list) return result;
  list[used] = '\0';
  result.names = list;
  return result;
}
