// The work folder: where a component's temporary copies are made before each is renamed
// over its file. Its whole life is here: made, marked, held, proven, cleared, removed.
//
// Why it is safe in a folder that other accounts may change (setup.exe runs as
// administrator; a folder under a drive's root lets any user create, rename and delete):
// - Held. From its creation to its removal the folder is open without delete sharing and
//   without following links, so no one can rename, remove or replace it; its marker file
//   is held the same way, so that another run never takes a live folder for a leftover
//   (its own open for removal is refused).
// - Proven. A folder left by an interrupted run is cleared only when, opened and checked
//   on that handle, it is a folder (no link), its owner is one that no other,
//   non-administrator account can give it (OwnedByUs), it holds the marker, whole, cut
//   short or empty (a forced end while it was written), and nothing but the marker and
//   temporary copies. Anything else is never entered, and removed only if empty.
// - Removed by handle. Every entry is opened as itself, checked and removed on that
//   handle; a link found in it is left alone.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "app/path_text.h"
#include "install/held_entry.h"

// A temporary copy's name: "~vlv" + four hex digits + ".tmp" (a work folder: "~vlvw" +
// three).
constexpr size_t kTempNameLength = sizeof "~vlv0000.tmp" - 1;
void FormatTempName(char (&name)[kTempNameLength + 1], unsigned number);

// The marker file of a work folder, and its text.
extern const char kWorkMarker[];
extern const char kWorkMarkerText[];

struct WorkFolder {
  char path[kPathSize] = {};  // with its backslash
  size_t length = 0;          // of path; 0 while there is none
  HeldHandle folder;          // held with the right to remove it
  HeldHandle marker;
};

// Clears what interrupted installs of this program provably left in the directory (dest,
// of dirLength with its backslash).
void ClearLeftovers(const char* dest, size_t dirLength);
// Makes, holds and marks a work folder in that directory, where its path and a temporary
// name behind it fit a path buffer; false: there is none, the copies go beside the files.
bool MakeWorkFolder(WorkFolder& work, const char* dest, size_t dirLength);
// Removes the work folder. With copies of this run's still in it, it stays, marked, for
// the next install to clear.
void CloseWorkFolder(WorkFolder& work, bool copiesLeft);
// Removes a temporary copy of this run's: ERROR_SUCCESS also when it has gone, or when
// something that is not a plain file (not this run's, then) stands at its name; else the
// error that stopped it.
DWORD RemoveTempCopy(const char* path);
