// The setup program's own folder, from which the source folders of the media are read.
#pragma once

#include <windows.h>

// Records the folder of the running program, with its trailing backslash, in moduleDir and
// points moduleNameSlot just behind it. False when the program's full name did not fit a
// path buffer: moduleDir then holds only the part of it that fitted, cut at its last
// backslash, and must not be used to read the media.
[[nodiscard]] bool CaptureModuleDirectory(HINSTANCE instance);

// True when every path the install will read fits a path buffer behind moduleDir: each
// component's search pattern ("samples\*.*" is the longest), and each entry of each source
// folder behind that folder's backslash, terminator included. moduleDir is left as it was.
[[nodiscard]] bool SourcePathsFit();

// True when at least one of the source folders (plugin\, samples\, help\) is beside the
// program. Where none is, setup.exe was run alone, as the shell runs it from inside a zip.
// moduleDir is left as it was.
[[nodiscard]] bool AnySourceFolderPresent();
