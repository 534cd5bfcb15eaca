// Conversions into a code page never put a look-alike or "?" in place of a character: the
// text arrives whole, or the first character that cannot be held is named.
#include <gtest/gtest.h>

#include <string>

#include "app/ansi_text.h"

TEST(ToCodePage, WholeOrTheFirstCharacterThatCannotBeHeld) {
  using R = AnsiConversion;
  const struct { UINT codePage; const wchar_t* text; size_t size; R result; const char* bytes;
                 const wchar_t* unheld; } cases[] = {
      {1252, L"C:\\Café", 8, R::kWhole, "C:\\Caf\xE9", L""},
      {1252, L"C:\\Ωmega", 260, R::kNotHeld, "", L"Ω"},  // best fit would give "Omega"
      {1252, L"é\U0001F600", 260, R::kNotHeld, "", L"\U0001F600"},  // a pair is one character
      {932, L"C:\\表Ω", 260, R::kWhole, "C:\\\x95\x5C\x83\xB6", L""},
      {932, L"Ωμέγα", 260, R::kNotHeld, "", L"έ"},  // 932 has Greek, but no accents
      {65001, L"ΩΩ", 5, R::kWhole, "\xCE\xA9\xCE\xA9", L""},  // bytes, not characters, count
      {65001, L"ΩΩ", 4, R::kTooLong, "", L""},
      {65001, L"a\xD800", 260, R::kNotHeld, "", L"\xD800"},  // no U+FFFD for a lone half
  };
  for (const auto& c : cases) {
    char dst[260] = "left over";
    UnheldChar unheld;
    EXPECT_EQ(ToCodePage(c.codePage, c.text, dst, c.size, &unheld), c.result) << c.codePage;
    EXPECT_STREQ(dst, c.bytes);
    EXPECT_EQ(std::wstring(unheld.units), c.unheld);
  }
}
