// Bounded string and path helpers. Pure: no window, file or registry calls, so the
// module also builds natively and can be tested with the sanitizers.
//
// Every function takes the size of the buffer it writes into and never writes past it.
// A function that cannot do its whole job returns false; what it then leaves behind is
// stated for each one.
#pragma once

#include <stddef.h>

// Length of s, looking at no more than max characters.
size_t TextLength(const char* s, size_t max);

// Copies src into dst when it fits with its terminator. Otherwise dst becomes empty
// and the result is false: a path is never cut to fit.
bool TextCopy(char* dst, size_t dstSize, const char* src);

// Appends src to the string in dst when the whole of it fits; otherwise dst is left
// unchanged and the result is false.
bool TextAppend(char* dst, size_t dstSize, const char* src);

// Terminates a buffer that a system call may have filled without a terminator: the
// string ends at its first terminator or at the last byte of the buffer.
void TextTerminate(char* buf, size_t bufSize);

// The position right after the last backslash of s, or nullptr when s has none.
char* AfterLastBackslash(char* s);
const char* AfterLastBackslash(const char* s);

// Cuts s at its last backslash (the backslash goes too); s without one becomes empty.
void CutAtLastBackslash(char* s);

// Writes name at slot, a position inside buf (of bufSize bytes), when name and its
// terminator fit before the end of buf. Otherwise buf is unchanged and the result is
// false.
bool WriteAtSlot(char* buf, size_t bufSize, char* slot, const char* name);

// Formats fmt into dst with arg in place of each "%s" ("%%" gives one "%"). The result
// is always terminated; false when it had to be cut to fit.
bool FormatText(char* dst, size_t dstSize, const char* fmt, const char* arg);

// Turns an open command read from the registry, in place, into a candidate folder: name
// replaces whatever follows the command's last backslash (the program's name and its
// arguments), and a leading double quote is passed over. Returns where the candidate
// starts in command, or nullptr when the command has no backslash or name does not fit.
const char* FolderCandidateFromCommand(char* command, size_t commandSize, const char* name);

// FormatText with the decimal digits of n as the argument.
bool FormatNumber(char* dst, size_t dstSize, const char* fmt, unsigned long n);
