// libFuzzer target over the bounded text helpers and the parsing the program does on
// text it does not control. Buffers are heap blocks of their exact size, so the
// address sanitizer sees any write past them; the checks below catch wrong results.
//
// Input: one byte choosing the buffer size, then NUL-separated strings.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/path_text.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t bufSize = 1 + data[0] % 64;
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
    TextCopy(dst.p, dst.size, a.c_str());
    std::string before = dst.p;
    bool ok = TextAppend(dst.p, dst.size, b.c_str());
    Check(ok == (before.size() + b.size() < bufSize), "TextAppend fits");
    Check(std::string(dst.p) == (ok ? before + b : before), "TextAppend result");
  }
  {  // Cutting at the last backslash, the way a returned file path becomes a folder
    Block dst(bufSize);
    if (TextCopy(dst.p, dst.size, a.c_str())) {
      char* slot = AfterLastBackslash(dst.p);
      size_t cut = a.rfind('\\');
      Check((slot == nullptr) == (cut == std::string::npos), "AfterLastBackslash");
      CutAtLastBackslash(dst.p);
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
      const char* candidate = FolderCandidateFromCommand(dst.p, dst.size, "plugins");
      size_t cut = a.rfind('\\');
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
    FormatText(dst.p, dst.size, a.c_str(), b.c_str());
    Check(TextLength(dst.p, dst.size) < dst.size, "FormatText terminated");
  }
  {  // TextTerminate on a buffer with no terminator at all
    Block dst(bufSize);
    memset(dst.p, 'x', dst.size);
    TextTerminate(dst.p, dst.size);
    Check(TextLength(dst.p, dst.size) == dst.size - 1, "TextTerminate");
  }
  return 0;
}
