// Names from the system's Unicode side in the ANSI code page the program works in.
//
// The manifest declares UTF-8 as that code page; where the system honours it (Windows 10
// version 1903 and later) every name has a form in it. Where the system does not, the code
// page is the legacy one of the system's locale, and its conversions put a look-alike ("O"
// for "Ω") or "?" where a character has no form: such text is found here and refused, so
// that nothing is ever made under a name the user did not give.
#pragma once

#include <windows.h>

#include <stddef.h>

// A character that a code page cannot hold: one UTF-16 unit, or a surrogate pair.
struct UnheldChar {
  wchar_t units[3] = {};
};

enum class AnsiConversion { kWhole, kTooLong, kNotHeld };

// Converts the whole of text into dst (dstSize bytes with the terminator) in codePage
// (CP_ACP for the process's own), with no default or best-fit character. kWhole: dst holds
// it. kTooLong: it needs more bytes. kNotHeld: *unheld is its first character that the code
// page cannot hold (an unpaired surrogate in UTF-8). Only kWhole leaves dst other than empty.
[[nodiscard]] AnsiConversion ToCodePage(UINT codePage, const wchar_t* text, char* dst,
                                        size_t dstSize, UnheldChar* unheld);

// The system's ANSI code page: the one in which programs without a code page of their own
// read text, and in which their ANSI registry calls hand them a stored string. This
// program's own (GetACP) may be UTF-8 instead.
[[nodiscard]] UINT SystemAnsiCodePage();

// Whether text comes back unchanged when converted to codePage and back; if not, *unheld
// is its first character that does not.
[[nodiscard]] bool RoundTrips(UINT codePage, const wchar_t* text, UnheldChar* unheld);

// A control's text in the ANSI code page, whole, into dst: read as Unicode, so that
// neither a conversion nor the buffer's size changes a character of it.
[[nodiscard]] AnsiConversion ReadItemText(HWND dialog, int id, char* dst, size_t dstSize,
                                          UnheldChar* unheld);

// Tells the user that a directory holds a character the ANSI code page cannot hold.
void ShowDirectoryNotHeld(HWND owner, const UnheldChar& unheld);

// Tells the user that a directory whose name other programs read from the registry holds
// a character that the system's code page, codePage, cannot hold.
void ShowDirectoryNotReadable(HWND owner, const UnheldChar& unheld, UINT codePage);

// False when the folder of an open command, the registry key's default value up to its
// last backslash, holds a character that the ANSI code page cannot hold: read as ANSI it
// would name a look-alike folder. True when the value is no string or cannot be read (the
// ANSI read then decides).
[[nodiscard]] bool CommandFolderHeld(HKEY key);

// True, once the user has been told, when the program's own folder holds a character that
// the ANSI code page cannot hold: the media could not be read from it.
[[nodiscard]] bool RefuseModuleFolderNotHeld(HWND owner);
