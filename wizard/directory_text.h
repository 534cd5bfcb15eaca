// A directory as the user types it, made into one the install can use: cleaned of what
// a paste brings along, then checked. Pure text work on bytes of the ANSI code page,
// walked by characters; no window or file calls, so it also builds natively.
#pragma once

#include <stddef.h>

#include "app/path_text.h"

// The longest directory, in bytes. The copy writes each file first under a temporary name
// of 12 characters ("~vlvNNNN.tmp") behind the directory's backslash, and that path with
// its terminator must fit a path buffer: 260 - 1 - 12 - 1. CreateDirectoryA takes at most
// 248 characters (MAX_PATH less room for an 8.3 name), so this is within that too.
constexpr size_t kTemporaryNameLength = sizeof "~vlvNNNN.tmp" - 1;
constexpr size_t kMaxDirectoryLength = kPathSize - 1 - kTemporaryNameLength - 1;
static_assert(kMaxDirectoryLength == 246 && kMaxDirectoryLength < 248,
              "room for a temporary name behind the directory, within CreateDirectoryA's limit");

// Removes the spaces before and after the text, then one pair of double quotes around all
// of it and the spaces inside them ("Copy as path" quotes what it copies); forward
// slashes become backslashes, as the system reads them so.
void CleanDirectoryText(char (&text)[kPathSize], const LeadBytes& lead);

enum class DirectoryProblem {
  kNone,
  kForbiddenCharacter,  // one that no file or folder name may hold
  kNotFullPath,         // neither C:\... (or a bare C:) nor \\server\share...
  kTooLong,             // longer than kMaxDirectoryLength
};
struct DirectoryCheck {
  DirectoryProblem problem;
  char character;  // kForbiddenCharacter: the first such character
};

// Whether a cleaned directory can be used. Empty text passes: it is stored as it is and
// the install step says that nothing can be created there.
[[nodiscard]] DirectoryCheck CheckDirectoryText(const char* text, const LeadBytes& lead);
