#include "app/path_text.h"
#include "tests/unit/lead_bytes_932.h"

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

// The characters below have 0x5C, the backslash's byte, as their second byte in 932.
const LeadBytes k932 = LeadBytes932();
#define HYO "\x95\x5C"               // 表
#define SO "\x83\x5C"                // ソ
#define NOU "\x94\x5C"               // 能
#define SAMPURU "\x83\x54\x83\x93\x83\x76\x83\x8B"  // サンプル

TEST(Backslash, SlotAndCutByCharactersOfTheCodePage) {
  struct Case {
    const LeadBytes* cp;
    const char* path;
    const char* afterSlot;  // nullptr: no backslash
    const char* cut;
    const char* afterFirst;
  };
  const Case cases[] = {
      {&kSingleByte, "C:\\dir\\setup.exe", "setup.exe", "C:\\dir", "dir\\setup.exe"},
      {&k932, "C:\\dir\\setup.exe", "setup.exe", "C:\\dir", "dir\\setup.exe"},
      {&kSingleByte, "C:\\", "", "C:", ""},
      {&k932, "C:\\", "", "C:", ""},
      {&kSingleByte, "D:\\a\\b\\", "", "D:\\a\\b", "a\\b\\"},
      {&k932, "D:\\a\\b\\", "", "D:\\a\\b", "a\\b\\"},
      {&kSingleByte, "setup.exe", nullptr, "", nullptr},
      {&k932, "", nullptr, "", nullptr},
      {&kSingleByte, "\\\\server\\share\\x", "x", "\\\\server\\share", "\\server\\share\\x"},
      // A second byte 0x5C is no backslash...
      {&k932, "C:\\" HYO, HYO, "C:", HYO},
      {&k932, "C:\\" SO "\\" SAMPURU HYO, SAMPURU HYO, "C:\\" SO, SO "\\" SAMPURU HYO},
      {&k932, "D:\\" NOU "\\", "", "D:\\" NOU, NOU "\\"},
      {&k932, HYO SO NOU, nullptr, "", nullptr},
      // ...nor a lead byte's second byte after a lead byte, nor half a character
      {&k932, "\x95\x95\\x", "x", "\x95\x95", "x"},
      {&k932, "C:\\a\x95", "a\x95", "C:", "a\x95"},
      // ...while a single-byte code page (1252: 0x95 is a bullet) sees the bytes it had.
      {&kSingleByte, "C:\\" HYO, "", "C:\\\x95", HYO},
      {&kSingleByte, HYO SO, "", HYO "\x83", "\x83\x5C"},
  };
  for (const Case& c : cases) {
    const char* mode = c.cp == &k932 ? "932" : "single-byte";
    char buf[64];
    strcpy(buf, c.path);
    char* slot = AfterLastBackslash(buf, *c.cp);
    if (c.afterSlot) {
      ASSERT_NE(slot, nullptr) << c.path << " " << mode;
      EXPECT_EQ(slot[-1], '\\');
      EXPECT_STREQ(slot, c.afterSlot) << c.path << " " << mode;
      EXPECT_EQ(TrailingBackslash(buf, *c.cp), *slot == '\0' ? slot - 1 : nullptr) << c.path;
    } else {
      EXPECT_EQ(slot, nullptr) << c.path << " " << mode;
      EXPECT_EQ(TrailingBackslash(buf, *c.cp), nullptr) << c.path;
    }
    const char* first = AfterFirstBackslash(buf, *c.cp);
    if (c.afterFirst)
      EXPECT_STREQ(first, c.afterFirst) << c.path << " " << mode;
    else
      EXPECT_EQ(first, nullptr) << c.path << " " << mode;
    CutAtLastBackslash(buf, *c.cp);
    EXPECT_STREQ(buf, c.cut) << c.path << " " << mode;
  }
}

TEST(Backslash, OnlyAPathEndingInALoneLeadByteIsNotWholeCharacters) {
  EXPECT_TRUE(IsWholeCharacters("", k932));
  EXPECT_TRUE(IsWholeCharacters("C:\\" SO "\\" SAMPURU HYO, k932));
  EXPECT_TRUE(IsWholeCharacters("\x95\x95", k932));      // a lead byte may be a second byte
  EXPECT_FALSE(IsWholeCharacters("\x95\x95\x95", k932));
  EXPECT_FALSE(IsWholeCharacters("C:\\a\x95", k932));
  EXPECT_TRUE(IsWholeCharacters("C:\\a\x95", kSingleByte));
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
  struct Case { const char* command; size_t size; const char* candidate; const LeadBytes* cp; };
  const Case cases[] = {
      {"\"C:\\Editor\\editor.exe\" \"%1\"", 64, "C:\\Editor\\plugins", &kSingleByte},
      {"C:\\Editor\\editor.exe %1", 64, "C:\\Editor\\plugins", &kSingleByte},
      {"editor.exe %1", 64, nullptr, &kSingleByte},           // no backslash
      // "C:\\E\\plugins" and its terminator need 13 bytes.
      {"C:\\E\\editor.exe", 12, nullptr, &kSingleByte},
      {"C:\\E\\editor.exe", 13, "C:\\E\\plugins", &kSingleByte},
      // The folder ends in a character whose second byte is 0x5C; so does an argument.
      {"\"C:\\Ed" HYO "\\ed.exe\" \"%1\" /" SO, 64, "C:\\Ed" HYO "\\plugins", &k932},
      {"ed" HYO ".exe", 64, nullptr, &k932},
      {"ed" HYO ".exe", 64, "ed\x95\\plugins", &kSingleByte},
  };
  for (const Case& c : cases) {
    Guarded g(c.size, c.command);
    const char* got = FolderCandidateFromCommand(g.buf(), c.size, "plugins", *c.cp);
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
