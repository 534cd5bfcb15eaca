#include "wizard/directory_text.h"
#include "tests/unit/lead_bytes_932.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

using P = DirectoryProblem;
constexpr SuperscriptDigits kNoSuperscripts = {};

// Quotes and spaces, the relative forms, "|" and the longest directory are the
// end-to-end scenario's to show.
TEST(DirectoryText, CleanedThenCheckedByCharacters) {
  struct Case { std::string typed, cleaned; P problem; char character; std::string part = {}; };
  const Case cases[] = {
      {"C:/V/Samples", "C:\\V\\Samples", P::kNone, 0},
      {"c:", "c:", P::kNone, 0},
      {"   ", "", P::kNone, 0},
      {"\\\\server\\share", "\\\\server\\share", P::kNone, 0},
      {"\"\"C:\\V\"\"", "\"C:\\V\"", P::kForbiddenCharacter, '"'},
      {"C:\\V:2", "C:\\V:2", P::kForbiddenCharacter, ':'},
      {"C:\\a\tb", "C:\\a\tb", P::kForbiddenCharacter, '\t'},
      {"\\\\server\\", "\\\\server\\", P::kNotFullPath, 0},
      {"\\\\.\\C:\\P", "\\\\.\\C:\\P", P::kDevicePath, 0},
      {"//?/C:/P", "\\\\?\\C:\\P", P::kDevicePath, 0},
      {"\\\\s\\x\\CON", "\\\\s\\x\\CON", P::kReservedName, 0, "CON"},
      {"C:\\nul \\a", "C:\\nul \\a", P::kTrailingDotOrSpace, 0, "nul "},
      {"C:\\Lpt9.tar.gz", "C:\\Lpt9.tar.gz", P::kReservedName, 0, "Lpt9.tar.gz"},
      {"C:\\com\xC2\xB3 .x", "C:\\com\xC2\xB3 .x", P::kReservedName, 0, "com\xC2\xB3 .x"},
      {"C:\\COM0\\CONS\\LPT10\\AUX-1\\COM\xC2\xB9\xC2\xB9",
       "C:\\COM0\\CONS\\LPT10\\AUX-1\\COM\xC2\xB9\xC2\xB9", P::kNone, 0},
      {"C:\\P.\\x", "C:\\P.\\x", P::kTrailingDotOrSpace, 0, "P."},
      {"C:\\V\\..", "C:\\V\\..", P::kTrailingDotOrSpace, 0, ".."},
  };
  for (const Case& c : cases) {
    char text[kPathSize] = {};
    strcpy(text, c.typed.c_str());
    CleanDirectoryText(text, kSingleByte);
    EXPECT_EQ(text, c.cleaned);
    DirectoryCheck check = CheckDirectoryText(text, kSingleByte, kUtf8Superscripts);
    EXPECT_EQ(check.problem, c.problem) << c.typed;
    EXPECT_EQ(check.character, c.character) << c.typed;
    EXPECT_EQ(std::string(text + check.partStart, check.partLength), c.part) << c.typed;
  }
  // In 932, ポ ends in the byte of "|", and 表 in that of "\": neither counts as such.
  char text[kPathSize] = " C:\\\x83\x7C\x95\x5C ";
  CleanDirectoryText(text, LeadBytes932());
  EXPECT_STREQ(text, "C:\\\x83\x7C\x95\x5C");
  EXPECT_EQ(CheckDirectoryText(text, LeadBytes932(), kNoSuperscripts).problem, P::kNone);
  EXPECT_EQ(CheckDirectoryText(text, kSingleByte, kNoSuperscripts).problem,
            P::kForbiddenCharacter);
  // A superscript as 1252 writes it; in 932 the same byte is a katakana.
  EXPECT_EQ(CheckDirectoryText("C:\\LPT\xB2", kSingleByte, {{"\xB9", "\xB2", "\xB3"}}).problem,
            P::kReservedName);
  EXPECT_EQ(CheckDirectoryText("C:\\LPT\xB2", LeadBytes932(), kNoSuperscripts).problem, P::kNone);
}

}  // namespace
