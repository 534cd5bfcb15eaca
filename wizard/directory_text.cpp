#include "wizard/directory_text.h"

#include <string.h>

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Text without the spaces at its ends, moved to the start of its buffer.
void TrimSpaces(char* text, const LeadBytes& lead) {
  const char* start = text;
  while (*start == ' ') ++start;
  const char* end = start;  // just behind the last character that is not a space
  for (const char* p = start; *p != '\0'; p = NextChar(p, lead))
    if (*p != ' ') end = NextChar(p, lead);
  size_t kept = static_cast<size_t>(end - start);
  memmove(text, start, kept);
  text[kept] = '\0';
}

// The last character of a text that is not empty.
const char* LastChar(const char* text, const LeadBytes& lead) {
  const char* last = text;
  for (const char* p = text; *p != '\0'; p = NextChar(p, lead)) last = p;
  return last;
}

// \\server\share, with names that are not empty, and anything behind.
bool IsNetworkPath(const char* text, const LeadBytes& lead) {
  if (text[0] != '\\' || text[1] != '\\' || text[2] == '\\' || text[2] == '\0') return false;
  const char* p = text + 2;
  while (*p != '\0' && *p != '\\') p = NextChar(p, lead);
  return *p == '\\' && p[1] != '\\' && p[1] != '\0';
}

// \\.\ and \\?\ open the system's device namespaces: what follows is no folder path.
bool IsDevicePath(const char* text) {
  return text[0] == '\\' && text[1] == '\\' && (text[2] == '.' || text[2] == '?') &&
         text[3] == '\\';
}

bool SameLetters(const char* a, const char* upper, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char c = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    if (c != upper[i]) return false;
  }
  return true;
}

// Whether a folder name is one the system takes for a device: the part before its first
// dot, without the spaces at its end, is CON, PRN, AUX, NUL, or COM or LPT with a digit
// from 1 to 9 or a superscript 1, 2 or 3, in any case.
bool IsReservedName(const char* name, size_t length, const SuperscriptDigits& superscripts) {
  size_t base = 0;
  while (base < length && name[base] != '.') ++base;
  while (base > 0 && name[base - 1] == ' ') --base;
  if (base == 3)
    return SameLetters(name, "CON", 3) || SameLetters(name, "PRN", 3) ||
           SameLetters(name, "AUX", 3) || SameLetters(name, "NUL", 3);
  if (base < 4 || !(SameLetters(name, "COM", 3) || SameLetters(name, "LPT", 3))) return false;
  if (base == 4 && name[3] >= '1' && name[3] <= '9') return true;
  for (const char* digit : superscripts.digit) {
    size_t n = strlen(digit);
    if (n > 0 && base == 3 + n && memcmp(name + 3, digit, n) == 0) return true;
  }
  return false;
}

// The first folder name of a full path that the system would not make as typed. The
// drive, or the two backslashes of a network path, are passed over.
DirectoryCheck CheckFolderNames(const char* text, const LeadBytes& lead,
                                const SuperscriptDigits& superscripts) {
  const char* name = text[0] != '\0' && text[1] == ':' ? text + 2 : text;
  while (*name == '\\') ++name;
  while (*name != '\0') {
    const char* end = name;
    const char* last = nullptr;  // the name's last character
    while (*end != '\0' && *end != '\\') {
      last = end;
      end = NextChar(end, lead);
    }
    size_t start = static_cast<size_t>(name - text), length = static_cast<size_t>(end - name);
    if (last && (*last == '.' || *last == ' '))
      return {DirectoryProblem::kTrailingDotOrSpace, '\0', start, length};
    if (IsReservedName(name, length, superscripts))
      return {DirectoryProblem::kReservedName, '\0', start, length};
    name = *end == '\\' ? end + 1 : end;
  }
  return {DirectoryProblem::kNone, '\0'};
}

}  // namespace

void CleanDirectoryText(char (&text)[kPathSize], const LeadBytes& lead) {
  TextTerminate(text, kPathSize);
  TrimSpaces(text, lead);
  size_t length = strlen(text);
  if (length >= 2 && text[0] == '"' && *LastChar(text, lead) == '"') {
    memmove(text, text + 1, length - 2);
    text[length - 2] = '\0';
    TrimSpaces(text, lead);
  }
  for (size_t at = 0; text[at] != '\0'; at = static_cast<size_t>(NextChar(text + at, lead) - text))
    if (text[at] == '/') text[at] = '\\';
}

DirectoryCheck CheckDirectoryText(const char* text, const LeadBytes& lead,
                                  const SuperscriptDigits& superscripts) {
  if (IsDevicePath(text)) return {DirectoryProblem::kDevicePath, '\0'};
  bool drive = IsDriveLetter(text[0]) && text[1] == ':';
  for (const char* p = text; *p != '\0'; p = NextChar(p, lead)) {
    if (lead(*p)) continue;
    unsigned char c = static_cast<unsigned char>(*p);
    bool drivesColon = drive && p == text + 1;
    if (c < 0x20 || strchr("<>\"|?*", c) || (c == ':' && !drivesColon))
      return {DirectoryProblem::kForbiddenCharacter, *p};
  }
  // A bare drive is what Browse gives for its root.
  bool full = (drive && (text[2] == '\0' || text[2] == '\\')) || IsNetworkPath(text, lead);
  if (text[0] != '\0' && !full) return {DirectoryProblem::kNotFullPath, '\0'};
  DirectoryCheck names = CheckFolderNames(text, lead, superscripts);
  if (names.problem != DirectoryProblem::kNone) return names;
  if (TextLength(text, kPathSize) > kMaxDirectoryLength) return {DirectoryProblem::kTooLong, '\0'};
  return {DirectoryProblem::kNone, '\0'};
}
