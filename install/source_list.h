// Listing a component's source folder on the installation media.
#pragma once

#include <windows.h>

#include <stddef.h>

// Bytes the file list starts with; it grows when a folder's names need more.
constexpr size_t kFileListStart = 8000;

struct SourceList {
  // A heap block (process heap) of the names found, each terminated, ended by an empty
  // name; nullptr when there is nothing to copy or the folder could not be read.
  char* names = nullptr;
  // Why the folder could not be read whole (ERROR_SUCCESS: it could, or it is missing).
  DWORD error = ERROR_SUCCESS;
  int filesFound = 0;  // not the entries for the folder itself and its parent
  bool anyReadOnly = false;  // among the entries listed
};

// Lists every entry of the source folder that sourcePattern names behind the setup
// program's folder (written at moduleNameSlot). A missing folder (or a file of its name),
// an empty one, or a pattern that does not fit the path buffer gives nothing to copy; a
// folder that cannot be listed to its end (an error from the search, or names that the
// heap cannot hold) gives the error and no names: a folder is copied whole or not at all.
[[nodiscard]] SourceList ListSourceFolder(const char* sourcePattern);

// The entries a folder search yields for the folder itself and its parent.
bool IsDotEntry(const char* name);

// The name after name in a list.
inline const char* NextName(const char* name) {
  while (*name) ++name;
  return name + 1;
}
