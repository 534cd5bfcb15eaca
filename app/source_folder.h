// The one reading of a source folder on the media: start-up, the directory page's check
// that each file fits and the copy all search a folder through it, so that a folder gets
// the same verdict everywhere, whichever error code the system gives for it.
#pragma once

#include <windows.h>

#include <type_traits>

// What a search of a source folder found.
enum class FolderFound {
  kEntries,     // the folder, searched to its end: each entry was visited
  kEmpty,       // the folder, without a single entry (a drive's root)
  kAbsent,      // no folder: nothing of its name, or a file where the folder should be
  kUnreadable,  // a folder that could not be searched to its end
};
struct FolderSearch {
  FolderFound found;
  DWORD error;  // kUnreadable: the system's reason
};

// The calls a search makes: the system's, or the ones a test put in the install's table.
struct FolderSearchCalls {
  decltype(&::FindFirstFileA) findFirst;
  decltype(&::FindNextFileA) findNext;
  decltype(&::GetFileAttributesA) attributes;
};
extern const FolderSearchCalls kSystemFolderSearch;

// Called for each entry found (its name terminated within MAX_PATH): ERROR_SUCCESS goes
// on; any other code ends the search, which is then kUnreadable with that code.
using FolderEntryVisit = DWORD (*)(const WIN32_FIND_DATAA& entry, void* context);

// Searches pattern, a folder's full path with "\*.*" (or another pattern) behind its last
// backslash. A failed search is judged by what stands at the folder's name: the system
// answers "path not found", "invalid name" or "directory name is invalid" for a file
// there, by system, and "path not found" also for a folder held by another program.
[[nodiscard]] FolderSearch SearchSourceFolder(const char* pattern, FolderEntryVisit visit,
                                              void* context, const FolderSearchCalls& calls);

// The same with any callable taking the entry and giving an error code.
template <typename Visit>
[[nodiscard]] FolderSearch SearchSourceFolder(
    const char* pattern, Visit&& visit, const FolderSearchCalls& calls = kSystemFolderSearch) {
  using V = std::remove_reference_t<Visit>;
  return SearchSourceFolder(
      pattern,
      [](const WIN32_FIND_DATAA& entry, void* context) -> DWORD {
        return (*static_cast<V*>(context))(entry);
      },
      &visit, calls);
}
