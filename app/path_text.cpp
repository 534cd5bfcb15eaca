#include "app/path_text.h"

#include <string.h>

size_t TextLength(const char* s, size_t max) {
  size_t n = 0;
  while (n < max && s[n] != '\0') ++n;
  return n;
}

bool TextCopy(char* dst, size_t dstSize, const char* src) {
  if (dstSize == 0) return false;
  size_t n = TextLength(src, dstSize);
  if (n >= dstSize) {
    dst[0] = '\0';
    return false;
  }
  memmove(dst, src, n + 1);
  return true;
}

bool TextAppend(char* dst, size_t dstSize, const char* src) {
  size_t used = TextLength(dst, dstSize);
  if (used >= dstSize) return false;  // dst was not terminated: do not touch it
  size_t room = dstSize - used;
  size_t n = TextLength(src, room);
  if (n >= room) return false;
  memmove(dst + used, src, n + 1);
  return true;
}

void TextTerminate(char* buf, size_t bufSize) {
  if (bufSize == 0) return;
  if (TextLength(buf, bufSize) == bufSize) buf[bufSize - 1] = '\0';
}

const char* NextChar(const char* p, const LeadBytes& lead) {
  return lead(p[0]) && p[1] != '\0' ? p + 2 : p + 1;
}

bool IsWholeCharacters(const char* s, const LeadBytes& lead) {
  for (const char* p = s; *p != '\0'; p = NextChar(p, lead))
    if (lead(p[0]) && p[1] == '\0') return false;
  return true;
}

const char* AfterLastBackslash(const char* s, const LeadBytes& lead) {
  const char* after = nullptr;
  for (const char* p = s; *p != '\0'; p = NextChar(p, lead))
    if (*p == '\\') after = p + 1;
  return after;
}

char* AfterLastBackslash(char* s, const LeadBytes& lead) {
  return const_cast<char*>(AfterLastBackslash(static_cast<const char*>(s), lead));
}

char* AfterFirstBackslash(char* s, const LeadBytes& lead) {
  for (char* p = s; *p != '\0'; p = const_cast<char*>(NextChar(p, lead)))
    if (*p == '\\') return p + 1;
  return nullptr;
}

char* TrailingBackslash(char* s, const LeadBytes& lead) {
  char* after = AfterLastBackslash(s, lead);
  return after && *after == '\0' ? after - 1 : nullptr;
}

void CutAtLastBackslash(char* s, const LeadBytes& lead) {
  char* slot = AfterLastBackslash(s, lead);
  if (slot)
    slot[-1] = '\0';
  else
    s[0] = '\0';
}

bool WriteAtSlot(char* buf, size_t bufSize, char* slot, const char* name) {
  if (slot < buf || slot >= buf + bufSize) return false;
  size_t room = bufSize - static_cast<size_t>(slot - buf);
  size_t n = TextLength(name, room);
  if (n >= room) return false;
  memmove(slot, name, n + 1);
  return true;
}

bool FormatText(char* dst, size_t dstSize, const char* fmt, const char* arg) {
  if (dstSize == 0) return false;
  size_t out = 0;
  bool whole = true;
  auto put = [&](const char* s, size_t n) {
    size_t room = dstSize - 1 - out;
    if (n > room) {
      n = room;
      whole = false;
    }
    memcpy(dst + out, s, n);
    out += n;
  };
  for (const char* p = fmt; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      put(arg, strlen(arg));
      ++p;
    } else if (p[0] == '%' && p[1] == '%') {
      put(p, 1);
      ++p;
    } else {
      put(p, 1);
    }
  }
  dst[out] = '\0';
  return whole;
}

const char* FolderCandidateFromCommand(char* command, size_t commandSize, const char* name,
                                       const LeadBytes& lead) {
  char* slot = AfterLastBackslash(command, lead);
  if (!slot || !WriteAtSlot(command, commandSize, slot, name)) return nullptr;
  return command[0] == '"' ? command + 1 : command;
}

bool FormatNumber(char* dst, size_t dstSize, const char* fmt, unsigned long n) {
  char digits[24];  // ample for 64 bits
  char* p = digits + sizeof digits;
  *--p = '\0';
  do *--p = static_cast<char>('0' + n % 10);
  while ((n /= 10) != 0);
  return FormatText(dst, dstSize, fmt, p);
}
