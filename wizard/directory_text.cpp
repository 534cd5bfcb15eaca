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

DirectoryCheck CheckDirectoryText(const char* text, const LeadBytes& lead) {
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
  if (TextLength(text, kPathSize) > kMaxDirectoryLength) return {DirectoryProblem::kTooLong, '\0'};
  return {DirectoryProblem::kNone, '\0'};
}
