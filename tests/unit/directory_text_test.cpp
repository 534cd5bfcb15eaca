#include "wizard/directory_text.h"
#include "tests/unit/lead_bytes_932.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

using P = DirectoryProblem;

// Quotes and spaces, the relative forms, "|" and the longest directory are the
// end-to-end scenario's to show.
TEST(DirectoryText, CleanedThenCheckedByCharacters) {
  struct Case { std::string typed, cleaned; P problem; char character; };
  const Case cases[] = {
      {"C:/V/Samples", "C:\\V\\Samples", P::kNone, 0},
      {"c:", "c:", P::kNone, 0},
      {"   ", "", P::kNone, 0},
      {"\\\\server\\share", "\\\\server\\share", P::kNone, 0},
      {"\"\"C:\\V\"\"", "\"C:\\V\"", P::kForbiddenCharacter, '"'},
      {"C:\\V:2", "C:\\V:2", P::kForbiddenCharacter, ':'},
      {"C:\\a\tb", "C:\\a\tb", P::kForbiddenCharacter, '\t'},
      {"\\\\server\\", "\\\\server\\", P::kNotFullPath, 0},
  };
  for (const Case& c : cases) {
    char text[kPathSize] = {};
    strcpy(text, c.typed.c_str());
    CleanDirectoryText(text, kSingleByte);
    EXPECT_EQ(text, c.cleaned);
    DirectoryCheck check = CheckDirectoryText(text, kSingleByte);
    EXPECT_EQ(check.problem, c.problem) << c.typed;
    EXPECT_EQ(check.character, c.character) << c.typed;
  }
  // In 932, ポ ends in the byte of "|", and 表 in that of "\": neither counts as such.
  char text[kPathSize] = " C:\\\x83\x7C\x95\x5C ";
  CleanDirectoryText(text, LeadBytes932());
  EXPECT_STREQ(text, "C:\\\x83\x7C\x95\x5C");
  EXPECT_EQ(CheckDirectoryText(text, LeadBytes932()).problem, P::kNone);
  EXPECT_EQ(CheckDirectoryText(text, kSingleByte).problem, P::kForbiddenCharacter);
}

}  // namespace
