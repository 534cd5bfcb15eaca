#include <string.h>

#include "install/directory_ops.h"

#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/system_calls.h"

namespace {

// The path under test and the current directory that the test puts back.
char s_testedPath[kPathSize];
char s_savedCurrentDir[kPathSize];

}  // namespace

int DirectoryExists(const char* path) {
  // Half a character at the end would reach the system as some other name.
  if (!IsWholeCharacters(path, AnsiLeadBytes())) return 0;
  if (!TextCopy(s_testedPath, path)) return 0;  // too long to be a directory
  // A drive root such as C:\ must keep its backslash to name the root.
  char* trailing = TrailingBackslash(s_testedPath, AnsiLeadBytes());
  if (trailing && trailing - s_testedPath >= 3) *trailing = '\0';

  DWORD saved = g_system.GetCurrentDirectoryA(kPathSize, s_savedCurrentDir);
  BOOL entered = g_system.SetCurrentDirectoryA(s_testedPath);
  // Only a directory that can be entered counts; a file of that name does not.
  if (saved > 0 && saved < kPathSize) g_system.SetCurrentDirectoryA(s_savedCurrentDir);
  return entered ? 1 : 0;
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

int EnsureDirectory(const char* path) {
  if (DirectoryExists(path)) return 1;
  return CreateDirectoryTree(path);
}
