// libFuzzer target over the bounded text helpers and the parsing the program does on
// text it does not control (the editor's open command, a typed directory). Buffers are heap blocks of their exact size, so the
// address sanitizer sees any write past them; the checks below catch wrong results.
//
// Input: one byte choosing the buffer size (low six bits) and the code page (top bit:
// 932's lead bytes, else single-byte), then NUL-separated strings.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/path_text.h"
#include "tests/unit/lead_bytes_932.h"
#include "wizard/directory_text.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "fuzz check failed: %s\n", what);
    abort();
  }
}

struct Block {
  explicit Block(size_t n) : size(n), p(static_cast<char*>(malloc(n))) { memset(p, 0, n); }
  ~Block() { free(p); }
  size_t size;
  char* p;
};

const LeadBytes k932 = LeadBytes932();

// Where each character of s starts, walked independently of the helpers: a lead byte takes
// the next byte with it unless that is the end.
std::vector<bool> CharacterStarts(const std::string& s, const LeadBytes& lead) {
  std::vector<bool> starts(s.size(), false);
  for (size_t i = 0; i < s.size(); i += lead.lead[static_cast<unsigned char>(s[i])] &&
                                               i + 1 < s.size() ? 2 : 1)
    starts[i] = true;
  return starts;
}

// The last (or first) backslash that begins a character, or npos.
size_t LastBackslash(const std::string& s, const LeadBytes& lead) {
  std::vector<bool> starts = CharacterStarts(s, lead);
  for (size_t i = s.size(); i-- > 0;)
    if (starts[i] && s[i] == '\\') return i;
  return std::string::npos;
}
size_t FirstBackslash(const std::string& s, const LeadBytes& lead) {
  std::vector<bool> starts = CharacterStarts(s, lead);
  for (size_t i = 0; i < s.size(); ++i)
    if (starts[i] && s[i] == '\\') return i;
  return std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t bufSize = 1 + data[0] % 64;
  const LeadBytes& lead = data[0] & 0x80 ? k932 : kSingleByte;
  std::vector<std::string> parts(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0)
      parts.emplace_back();
    else
      parts.back() += static_cast<char>(data[i]);
  }
  while (parts.size() < 3) parts.emplace_back();
  const std::string& a = parts[0];
  const std::string& b = parts[1];

  {  // TextCopy: all or nothing
    Block dst(bufSize);
    bool ok = TextCopy(dst.p, dst.size, a.c_str());
    Check(ok == (a.size() < bufSize), "TextCopy fits iff shorter than the buffer");
    Check(ok ? a == dst.p : dst.p[0] == '\0', "TextCopy result");
  }
  {  // TextAppend: whole or unchanged
    Block dst(bufSize);
    if (!TextCopy(dst.p, dst.size, a.c_str())) Check(dst.p[0] == '\0', "TextCopy empties");
    std::string before = dst.p;
    bool ok = TextAppend(dst.p, dst.size, b.c_str());
    Check(ok == (before.size() + b.size() < bufSize), "TextAppend fits");
    Check(std::string(dst.p) == (ok ? before + b : before), "TextAppend result");
  }
  {  // Cutting at the last backslash, the way a returned file path becomes a folder; the
     // trailing and first backslash, and whether the path ends in half a character
    Block dst(bufSize);
    if (TextCopy(dst.p, dst.size, a.c_str())) {
      char* slot = AfterLastBackslash(dst.p, lead);
      size_t cut = LastBackslash(a, lead);
      Check(slot == (cut == std::string::npos ? nullptr : dst.p + cut + 1), "AfterLastBackslash");
      Check(TrailingBackslash(dst.p, lead) ==
                (cut != std::string::npos && cut + 1 == a.size() ? dst.p + cut : nullptr),
            "TrailingBackslash");
      size_t first = FirstBackslash(a, lead);
      Check(AfterFirstBackslash(dst.p, lead) ==
                (first == std::string::npos ? nullptr : dst.p + first + 1),
            "AfterFirstBackslash");
      std::vector<bool> starts = CharacterStarts(a, lead);
      bool half = !a.empty() && starts.back() && lead(a.back());
      Check(IsWholeCharacters(dst.p, lead) == !half, "IsWholeCharacters");
      CutAtLastBackslash(dst.p, lead);
      Check(std::string(dst.p) == (cut == std::string::npos ? "" : a.substr(0, cut)),
            "CutAtLastBackslash");
    }
  }
  {  // WriteAtSlot at every position, including the end of the buffer
    Block dst(bufSize);
    for (size_t pos = 0; pos <= bufSize; ++pos) {
      memset(dst.p, 'd', dst.size);
      dst.p[dst.size - 1] = '\0';
      bool ok = WriteAtSlot(dst.p, dst.size, dst.p + pos, b.c_str());
      Check(ok == (pos < bufSize && pos + b.size() < bufSize), "WriteAtSlot fits");
      if (ok) Check(b == dst.p + pos, "WriteAtSlot result");
    }
  }
  {  // An open command from the registry: the candidate stays inside the buffer, keeps
     // everything up to the last backslash and ends in the folder name
    Block dst(bufSize);
    if (TextCopy(dst.p, dst.size, a.c_str())) {
      const char* candidate = FolderCandidateFromCommand(dst.p, dst.size, "plugins", lead);
      size_t cut = LastBackslash(a, lead);
      if (candidate) {
        Check(cut != std::string::npos, "a candidate needs a backslash");
        std::string want = a.substr(a[0] == '"' ? 1 : 0, cut + 1 - (a[0] == '"' ? 1 : 0));
        Check(want + "plugins" == candidate, "FolderCandidateFromCommand result");
      } else {
        Check(cut == std::string::npos || cut + 1 + 7 >= bufSize, "candidate refused");
      }
    }
  }
  {  // FormatText: always terminated within the buffer
    Block dst(bufSize);
    bool whole = FormatText(dst.p, dst.size, a.c_str(), b.c_str());
    Check(TextLength(dst.p, dst.size) < dst.size, "FormatText terminated");
    Check(whole || TextLength(dst.p, dst.size) == dst.size - 1, "FormatText cuts at the end");
  }
  {  // A typed directory: cleaned inside its own buffer, never longer; an accepted one is a
     // full path (or empty) no longer than the longest directory, with names Windows keeps
    Block dst(kPathSize);
    if (TextCopy(dst.p, dst.size, a.c_str())) {
      CleanDirectoryText(*reinterpret_cast<char(*)[kPathSize]>(dst.p), lead);
      std::string cleaned = dst.p;
      Check(cleaned.size() <= a.size() && (cleaned.empty() || cleaned[0] != ' '), "cleaned");
      if (CheckDirectoryText(dst.p, lead, kUtf8Superscripts).problem == DirectoryProblem::kNone) {
        Check(cleaned.size() <= kMaxDirectoryLength &&
                  (cleaned.empty() || cleaned[1] == ':' || cleaned.compare(0, 2, "\\\\") == 0),
              "accepted directory");
        // No device path, and no folder name that ends in a dot or a space character.
        std::vector<bool> starts = CharacterStarts(cleaned, lead);
        bool trimmed = false;
        for (size_t i = 0; i < cleaned.size(); ++i)
          trimmed |= starts[i] && (cleaned[i] == '.' || cleaned[i] == ' ') &&
                     (i + 1 == cleaned.size() || cleaned[i + 1] == '\\');
        Check(cleaned.compare(0, 4, "\\\\.\\") != 0 && cleaned.compare(0, 4, "\\\\?\\") != 0 &&
                  !trimmed,
              "accepted directory's names");
      }
    }
  }
  {  // TextTerminate on a buffer with no terminator at all
    Block dst(bufSize);
    memset(dst.p, 'x', dst.size);
    TextTerminate(dst.p, dst.size);
    Check(TextLength(dst.p, dst.size) == dst.size - 1, "TextTerminate");
  }
  return 0;
}
