#include "app/path_text.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

// A buffer with guard bytes on both sides, so that a write outside the usable part shows.
struct Guarded {
  static constexpr size_t kGuard = 16;
  char raw[kGuard + 64 + kGuard];
  size_t size;
  explicit Guarded(size_t n, const char* init = "") : size(n) {
    memset(raw, 0x5A, sizeof raw);
    memset(buf(), 0, n);
    strncpy(buf(), init, n - 1);
  }
  char* buf() { return raw + kGuard; }
  bool guardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (raw[i] != 0x5A || raw[kGuard + size + i] != 0x5A) return false;
    return true;
  }
};

TEST(TextCopy, CopiesWhatFitsAndEmptiesRatherThanCuts) {
  struct Case { size_t size; const char* src; bool ok; const char* result; };
  const Case cases[] = {
      {8, "", true, ""},
      {8, "abcdefg", true, "abcdefg"},  // 7 characters and the terminator: exactly full
      {8, "abcdefgh", false, ""},        // one too many: nothing is kept
      {1, "", true, ""},
      {1, "a", false, ""},
  };
  for (const Case& c : cases) {
    Guarded g(c.size, "xyz");
    EXPECT_EQ(TextCopy(g.buf(), c.size, c.src), c.ok) << c.src;
    EXPECT_STREQ(g.buf(), c.result) << c.src;
    EXPECT_TRUE(g.guardsIntact()) << c.src;
  }
}

TEST(TextAppend, AppendsWholeOrNothing) {
  Guarded g(8, "abc");
  EXPECT_TRUE(TextAppend(g.buf(), 8, "defg"));
  EXPECT_STREQ(g.buf(), "abcdefg");
  EXPECT_FALSE(TextAppend(g.buf(), 8, "h"));
  EXPECT_STREQ(g.buf(), "abcdefg");
  EXPECT_TRUE(TextAppend(g.buf(), 8, ""));
  EXPECT_TRUE(g.guardsIntact());

  // A destination that holds no terminator is left alone.
  Guarded full(4);
  memcpy(full.buf(), "wxyz", 4);
  EXPECT_FALSE(TextAppend(full.buf(), 4, "a"));
  EXPECT_EQ(memcmp(full.buf(), "wxyz", 4), 0);
  EXPECT_TRUE(full.guardsIntact());
}

TEST(TextTerminate, EndsAnUnterminatedBufferInsideIt) {
  Guarded g(6);
  memcpy(g.buf(), "abcdef", 6);
  TextTerminate(g.buf(), 6);
  EXPECT_STREQ(g.buf(), "abcde");
  Guarded h(6, "ab");
  TextTerminate(h.buf(), 6);
  EXPECT_STREQ(h.buf(), "ab");
  EXPECT_TRUE(g.guardsIntact() && h.guardsIntact());
}

TEST(Backslash, SlotAndCut) {
  struct Case { const char* path; const char* afterSlot; const char* cut; };
  const Case cases[] = {
      {"C:\\dir\\setup.exe", "setup.exe", "C:\\dir"},
      {"C:\\", "", "C:"},
      {"D:\\a\\b\\", "", "D:\\a\\b"},
      {"setup.exe", nullptr, ""},
      {"", nullptr, ""},
      {"\\\\server\\share\\x", "x", "\\\\server\\share"},
  };
  for (const Case& c : cases) {
    char buf[64];
    strcpy(buf, c.path);
    char* slot = AfterLastBackslash(buf);
    if (c.afterSlot) {
      ASSERT_NE(slot, nullptr) << c.path;
      EXPECT_EQ(slot[-1], '\\');
      EXPECT_STREQ(slot, c.afterSlot);
    } else {
      EXPECT_EQ(slot, nullptr) << c.path;
    }
    CutAtLastBackslash(buf);
    EXPECT_STREQ(buf, c.cut) << c.path;
  }
}

TEST(WriteAtSlot, KeepsTheDirectoryAndRefusesWhatDoesNotFit) {
  Guarded g(16, "C:\\dir\\");
  char* slot = g.buf() + 7;
  EXPECT_TRUE(WriteAtSlot(g.buf(), 16, slot, "a.txt"));
  EXPECT_STREQ(g.buf(), "C:\\dir\\a.txt");
  EXPECT_TRUE(WriteAtSlot(g.buf(), 16, slot, "12345678"));  // 7 + 8 + terminator = 16
  EXPECT_STREQ(g.buf(), "C:\\dir\\12345678");
  EXPECT_FALSE(WriteAtSlot(g.buf(), 16, slot, "123456789"));
  EXPECT_STREQ(g.buf(), "C:\\dir\\12345678");
  EXPECT_FALSE(WriteAtSlot(g.buf(), 16, g.buf() + 16, ""));  // slot outside the buffer
  EXPECT_TRUE(g.guardsIntact());
}

TEST(FormatText, SubstitutesAndCutsSafely) {
  char out[32];
  EXPECT_TRUE(FormatText(out, sizeof out, "Could not create %s", "C:\\x"));
  EXPECT_STREQ(out, "Could not create C:\\x");
  EXPECT_TRUE(FormatText(out, sizeof out, "Could not create %s", ""));
  EXPECT_STREQ(out, "Could not create ");
  EXPECT_TRUE(FormatText(out, sizeof out, "100%% %s", "done"));
  EXPECT_STREQ(out, "100% done");
  EXPECT_TRUE(FormatText(out, sizeof out, "no argument", "ignored"));
  EXPECT_STREQ(out, "no argument");

  Guarded g(12);
  EXPECT_FALSE(FormatText(g.buf(), 12, "Copying %s", "a-long-name.txt"));
  EXPECT_STREQ(g.buf(), "Copying a-l");
  EXPECT_TRUE(g.guardsIntact());
  // A lone '%' at the end is kept as it is.
  EXPECT_TRUE(FormatText(out, sizeof out, "50%", "x"));
  EXPECT_STREQ(out, "50%");
}

TEST(FolderCandidateFromCommand, QuotedUnquotedAndRefused) {
  struct Case { const char* command; size_t size; const char* candidate; };
  const Case cases[] = {
      {"\"C:\\Editor\\editor.exe\" \"%1\"", 64, "C:\\Editor\\plugins"},
      {"C:\\Editor\\editor.exe %1", 64, "C:\\Editor\\plugins"},
      {"editor.exe %1", 64, nullptr},           // no backslash
      // "C:\\E\\plugins" and its terminator need 13 bytes.
      {"C:\\E\\editor.exe", 12, nullptr},
      {"C:\\E\\editor.exe", 13, "C:\\E\\plugins"},
  };
  for (const Case& c : cases) {
    Guarded g(c.size, c.command);
    const char* got = FolderCandidateFromCommand(g.buf(), c.size, "plugins");
    if (c.candidate)
      EXPECT_STREQ(got, c.candidate) << c.command;
    else
      EXPECT_EQ(got, nullptr) << c.command;
    EXPECT_TRUE(g.guardsIntact()) << c.command;
  }
}

TEST(TextLength, StopsAtTheLimit) {
  EXPECT_EQ(TextLength("abc", 10), 3u);
  EXPECT_EQ(TextLength("abc", 2), 2u);
  EXPECT_EQ(TextLength("", 0), 0u);
}

}  // namespace
