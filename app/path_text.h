// Bounded string and path helpers. Pure: no window, file or registry calls, so the
// module also builds natively and can be tested with the sanitizers.
//
// Every function takes the size of the buffer it writes into and never writes past it.
// A function that cannot do its whole job returns false (or nullptr); what it then leaves
// behind is stated for each one, and the result must be looked at.
//
// Paths are walked by characters of the ANSI code page, from their start: in a double-byte
// code page (932, 936, 949, 950) the second byte of a character may be 0x5C, the byte of
// the backslash (表 is 0x95 0x5C), so a byte search would cut that character in half.
#pragma once

#include <stddef.h>

constexpr size_t kPathSize = 260;  // the platform's MAX_PATH, terminator included

// The lead bytes of a code page: such a byte and the byte after it are one character.
struct LeadBytes {
  bool lead[256];
  bool operator()(char c) const { return lead[static_cast<unsigned char>(c)]; }
};
// A single-byte code page: every byte is a character.
inline constexpr LeadBytes kSingleByte = {};

// Length of s, looking at no more than max characters.
size_t TextLength(const char* s, size_t max);

// Copies src into dst when it fits with its terminator. Otherwise dst becomes empty
// and the result is false: a path is never cut to fit.
[[nodiscard]] bool TextCopy(char* dst, size_t dstSize, const char* src);
template <size_t N>
[[nodiscard]] bool TextCopy(char (&dst)[N], const char* src) {
  return TextCopy(dst, N, src);
}

// Appends src to the string in dst when the whole of it fits; otherwise dst is left
// unchanged and the result is false.
[[nodiscard]] bool TextAppend(char* dst, size_t dstSize, const char* src);
template <size_t N>
[[nodiscard]] bool TextAppend(char (&dst)[N], const char* src) {
  return TextAppend(dst, N, src);
}

// Terminates a buffer that a system call may have filled without a terminator: the
// string ends at its first terminator or at the last byte of the buffer.
void TextTerminate(char* buf, size_t bufSize);

// The character after the one at p, which must not be the terminator: two bytes for a
// lead byte with a byte behind it, else one (a lead byte right before the terminator is
// left alone).
const char* NextChar(const char* p, const LeadBytes& lead);

// False when s ends in a lead byte with nothing behind it: half a character, which the
// system would turn into some other character, and a backslash appended to it would
// become its second byte. No path ends so.
bool IsWholeCharacters(const char* s, const LeadBytes& lead);

// The position right after the last (first) backslash character of s, or nullptr when s
// has none.
char* AfterLastBackslash(char* s, const LeadBytes& lead);
const char* AfterLastBackslash(const char* s, const LeadBytes& lead);
char* AfterFirstBackslash(char* s, const LeadBytes& lead);

// The backslash that is the last character of s, or nullptr when s ends otherwise.
char* TrailingBackslash(char* s, const LeadBytes& lead);

// Cuts s at its last backslash (the backslash goes too); s without one becomes empty.
void CutAtLastBackslash(char* s, const LeadBytes& lead);

// Writes name at slot, a position inside buf (of bufSize bytes), when name and its
// terminator fit before the end of buf. Otherwise buf is unchanged and the result is
// false.
[[nodiscard]] bool WriteAtSlot(char* buf, size_t bufSize, char* slot, const char* name);

// Formats fmt into dst with arg in place of each "%s" ("%%" gives one "%"). The result
// is always terminated; false when it had to be cut to fit.
[[nodiscard]] bool FormatText(char* dst, size_t dstSize, const char* fmt, const char* arg);
template <size_t N>
[[nodiscard]] bool FormatText(char (&dst)[N], const char* fmt, const char* arg) {
  return FormatText(dst, N, fmt, arg);
}

// Turns an open command read from the registry, in place, into a candidate folder: name
// replaces whatever follows the command's last backslash (the program's name and its
// arguments), and a leading double quote is passed over. Returns where the candidate
// starts in command, or nullptr when the command has no backslash or name does not fit.
[[nodiscard]] const char* FolderCandidateFromCommand(char* command, size_t commandSize,
                                                     const char* name, const LeadBytes& lead);

// FormatText with the decimal digits of n as the argument.
[[nodiscard]] bool FormatNumber(char* dst, size_t dstSize, const char* fmt, unsigned long n);
