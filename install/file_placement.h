// Putting one file in place: a fresh temporary copy beside it, renamed over it in one step.
#pragma once

#include <windows.h>

#include <stddef.h>

// Why an entry was not installed.
enum class Reason {
  kNone,             // installed
  kSystem,           // the system's error code says why
  kIsFolder,         // the entry on the media is a folder
  kFolderInTheWay,   // a folder of the file's name stands at the destination
  kPathTooLong,      // the destination's full path does not fit a path buffer
  kSourceTooLong,    // the path on the media does not fit a path buffer
  kNoRoomForCopy,    // the directory leaves no room for the temporary copy's name
  kInUse,            // the installed file is held by a running program
  kSourceInUse,      // the file on the media is held by a running program
};

struct Failure {
  Reason reason = Reason::kNone;
  DWORD error = ERROR_SUCCESS;  // for kSystem
};

// Whether trying the same entry again can help.
bool RetryMayHelp(Reason reason);

// Before the files of a directory (dest up to dirLength, with its backslash) are placed:
// removes the temporary copies that an interrupted install left there, and makes the
// work folder in which the copies are made (beside the files, when it can be made).
void BeginPlacing(const char* dest, size_t dirLength);
// After them: removes the work folder.
void EndPlacing(const char* dest, size_t dirLength);

// Puts source in place as dest, whose name starts at dest + dirLength (right after the
// directory's backslash). The file is copied to a fresh temporary name in the work folder
// (or beside the file when its path has no room), its read-only attribute cleared, and
// renamed over dest in one step; a file that was at dest keeps its other attributes. On
// any failure only the temporary copy is removed: whatever was at dest before is left as
// it was.
// sourceMayBeReadOnly: false when no file of the source folder was read-only when it was
// listed, which spares a look at each copy's attributes.
[[nodiscard]] Failure PlaceFile(const char* source, const char* dest, size_t dirLength,
                                bool sourceMayBeReadOnly = true);
