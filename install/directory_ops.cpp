#include <string.h>

#include "install/directory_ops.h"

#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/system_calls.h"

namespace {

// Enters path, and puts the current directory back: in Unicode, as the ANSI form of a
// path in a multibyte code page may need more bytes than a path buffer holds, and on the
// heap when it needs more units than one. When it cannot be saved, nothing is entered and
// the path's attributes answer instead.
BOOL EnterAndReturn(const char* path) {
  wchar_t saved[kPathSize];
  wchar_t* current = saved;
  DWORD units = g_system.GetCurrentDirectoryW(kPathSize, saved);
  HANDLE heap = GetProcessHeap();
  if (units >= kPathSize) {
    current = static_cast<wchar_t*>(g_system.HeapAlloc(heap, 0, units * sizeof(wchar_t)));
    DWORD needed = units;
    units = current ? g_system.GetCurrentDirectoryW(needed, current) : 0;
    if (units >= needed) units = 0;  // it grew meanwhile
  }
  BOOL entered = FALSE;
  if (units > 0) {
    entered = g_system.SetCurrentDirectoryA(path);
    if (entered) SetCurrentDirectoryW(current);
  } else {
    DWORD attributes = g_system.GetFileAttributesA(path);
    entered = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  if (current != saved && current) HeapFree(heap, 0, current);
  return entered;
}

}  // namespace

int DirectoryExists(const char* path) {
  // Half a character at the end would reach the system as some other name.
  if (!IsWholeCharacters(path, AnsiLeadBytes())) return 0;
  char tested[kPathSize];  // the path under test, the caller's left as it is
  if (!TextCopy(tested, path)) return 0;  // too long to be a directory
  // A drive root such as C:\ must keep its backslash to name the root.
  char* trailing = TrailingBackslash(tested, AnsiLeadBytes());
  if (trailing && trailing - tested >= 3) *trailing = '\0';

  // Only a directory that can be entered counts; a file of that name does not.
  return EnterAndReturn(tested) ? 1 : 0;
}

int CreateDirectoryTree(const char* path) {
  // A path that ends in half a character names no folder that could be typed: creating
  // it would make one of another name.
  if (!IsWholeCharacters(path, AnsiLeadBytes())) return 0;
  if (g_system.CreateDirectoryA(path, nullptr)) return 1;

  int created = 0;
  size_t size = strlen(path) + 1;
  HANDLE heap = GetProcessHeap();
  char* parent = static_cast<char*>(g_system.HeapAlloc(heap, 0, size));
  // Without the copy the tree cannot be climbed: failure. It is of the path's own size.
  if (parent && TextCopy(parent, size, path)) {
    CutAtLastBackslash(parent, AnsiLeadBytes());
    // A bare drive (C:) or nothing is never created: the ascent stops there.
    if (strlen(parent) > 2 && CreateDirectoryTree(parent))
      created = g_system.CreateDirectoryA(path, nullptr) ? 1 : 0;
  }
  if (parent) HeapFree(heap, 0, parent);
  // A path typed with a trailing backslash names a level that the climb has already
  // made, so the last attempt fails with "already exists": what matters is the result.
  if (!created && DirectoryExists(path)) created = 1;
  return created;
}

int EnsureDirectory(const char* path, bool* created) {
  bool exists = DirectoryExists(path);
  if (created) *created = !exists;
  return exists ? 1 : CreateDirectoryTree(path);
}
