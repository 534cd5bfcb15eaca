// Putting one component's files in place: each a fresh temporary copy that this run made,
// renamed over the file in one step.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "app/path_text.h"
#include "install/work_folder.h"

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
  kMediaNotRead,     // the media cannot be read (error: the system's reason)
};

struct Failure {
  Reason reason = Reason::kNone;
  DWORD error = ERROR_SUCCESS;  // for kSystem and kMediaNotRead
};

// Whether trying the same entry again can help.
bool RetryMayHelp(Reason reason);

// One component's placement, owned by the copy worker from BeginPlacement to
// EndPlacement. It removes only what it made itself, on a handle (install/work_folder.h):
// - the work folder, beside the files, held from its making to its removal;
// - each file's temporary copy: in the work folder a name that CopyFileA creates, failing
//   if it exists; beside the files, a name created new (CREATE_NEW) before anything is
//   copied to it.
struct Placement {
  const char* dest = nullptr;  // the directory buffer: directory, backslash, the name slot
  size_t dirLength = 0;        // of the directory with its backslash
  bool (*cancelled)() = nullptr;  // ends the waits for a passing lock at once
  WorkFolder work;             // where the copies go, while it has a length
  unsigned nextTemp = 0;       // numbers the temporary names
  // The current file's temporary copy, and whether this run made it (and has not yet
  // renamed or removed it).
  char temp[kPathSize] = {};
  bool tempMade = false;
  // Copies of this run's that could not be removed (left to the next restart): each
  // counts as a file not installed.
  unsigned copiesLeft = 0;
  // Whether the last file replaced one: in a reinstall the next will too, so its
  // attributes are looked at before the rename rather than after a refused one.
  bool expectReplace = false;
};

// Before the files of the directory in dest (up to dirLength, its backslash included):
// clears what an interrupted install of this program provably left there, then makes the
// work folder when the directory leaves it room. cancelled may be nullptr.
void BeginPlacement(Placement& placement, const char* dest, size_t dirLength,
                    bool (*cancelled)());
// After them: removes the work folder, and any copy of this run's still in it.
void EndPlacement(Placement& placement);

// Puts source in place as the placement's dest, whose name is at dest + dirLength. The
// file is copied to a temporary name made for it (in the work folder, else beside the
// file), its read-only attribute cleared, and renamed over dest in one step; a file that
// was at dest keeps its other attributes. A sharing violation, lock violation or "access
// denied" on the copy, the rename or the removal of the copy is tried again for about a
// second (a scanner's brief look at a new file) before it is reported. On any failure only
// the temporary copy is removed (or, still held, left to the next restart): whatever was
// at dest before is left as it was.
// sourceMayBeReadOnly: false when no file of the source folder was read-only when it was
// listed, which spares a look at each copy's attributes.
[[nodiscard]] Failure PlaceFile(Placement& placement, const char* source,
                                bool sourceMayBeReadOnly = true);
