// The setup program's own folder, from which the source folders of the media are read.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "app/path_text.h"

// Records the folder of the running program, with its trailing backslash, in moduleDir and
// points moduleNameSlot just behind it. False when the program's full name did not fit a
// path buffer: moduleDir then holds only the part of it that fitted, cut at its last
// backslash, and must not be used to read the media.
[[nodiscard]] bool CaptureModuleDirectory(HINSTANCE instance);

struct Component;

// What the program found of its source folders (plugin\, samples\, help\) beside it.
enum class MediaFound {
  kPresent,     // at least one is there, and every one there can be read
  kAbsent,      // none is there: setup.exe was run alone, as the shell runs it from a zip
  kUnreadable,  // one is there but cannot be read
  kTooLong,     // a path the install reads does not fit a path buffer
};
struct MediaCheck {
  MediaFound found;
  const Component* unreadable;  // kUnreadable: the first such folder's component
  DWORD error;                  // kUnreadable: the system's reason
};
// Reads each source folder once: every path the install will read must fit a path buffer
// behind moduleDir (each component's search pattern, "samples\*.*" the longest, and each
// entry behind its folder's backslash, terminator included), and each folder must be
// absent or readable. A path that does not fit outweighs a folder not read. moduleDir is
// left as it was.
[[nodiscard]] MediaCheck CheckSourceFolders();

// Writes the full name of a component's source folder (without its backslash) into
// folder; false when it does not fit.
[[nodiscard]] bool SourceFolderName(const Component& c, char (&folder)[kPathSize]);

// The length in bytes of the longest file name in a component's source folder, and that
// name in name; 0 and an empty name when the folder holds no file or cannot be read.
// moduleDir is left as it was.
size_t LongestSourceName(const Component& c, char (&name)[kPathSize]);
