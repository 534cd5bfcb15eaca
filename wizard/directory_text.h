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

// The longest directory that leaves room behind its backslash for a file name of this many
// bytes, and for the temporary copy's name: never more than kMaxDirectoryLength.
constexpr size_t MaxDirectoryLengthFor(size_t longestName) {
  size_t name = longestName > kTemporaryNameLength ? longestName : kTemporaryNameLength;
  return name >= kPathSize - 2 ? 0 : kPathSize - 2 - name;
}
static_assert(MaxDirectoryLengthFor(0) == kMaxDirectoryLength, "the temporary name's room");

// The superscript digits 1, 2 and 3 as the code page writes them ("" where it has none):
// Windows reads them as digits in the device names COM1 and LPT1 and their kin.
struct SuperscriptDigits {
  char digit[3][5];
};
inline constexpr SuperscriptDigits kUtf8Superscripts = {{"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"}};

enum class DirectoryProblem {
  kNone,
  kForbiddenCharacter,  // one that no file or folder name may hold
  kDevicePath,          // \\.\... or \\?\...: the system's device namespaces
  kNotFullPath,         // neither C:\... (or a bare C:) nor \\server\share...
  kReservedName,        // a folder named as a device (CON, NUL.txt, LPT1, ...)
  kTrailingDotOrSpace,  // a folder name that the system would trim
  kTooLong,             // longer than kMaxDirectoryLength
};
struct DirectoryCheck {
  DirectoryProblem problem;
  char character;  // kForbiddenCharacter: the first such character
  // kReservedName, kTrailingDotOrSpace: the folder name, at text + partStart.
  size_t partStart = 0;
  size_t partLength = 0;
};

// Whether a cleaned directory can be used. Empty text passes: it is stored as it is and
// the install step says that nothing can be created there.
[[nodiscard]] DirectoryCheck CheckDirectoryText(const char* text, const LeadBytes& lead,
                                                const SuperscriptDigits& superscripts);
