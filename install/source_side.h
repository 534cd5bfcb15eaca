// Which side a failed copy of a media file failed on: the copy's error alone does not say
// whether the file on the media or the new copy was refused, so the source is looked at.
#pragma once

#include <windows.h>

#include "install/file_placement.h"

// Why the copy of source failed with error, once it is not a folder nor a passing lock:
// the media cannot be read (pulled out, a drive not ready, a network share gone), the
// file on the media is held by another program (it cannot be opened for reading with
// read sharing), or else the system's reason for the copy, the destination's side.
[[nodiscard]] Failure WhyNotCopied(const char* source, DWORD error);
