#include "app/ansi_text.h"

#include <wchar.h>

#include "app/installer_state.h"

namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether count units of text convert to codePage exactly, and the bytes they need with
// dstSize room (0 when they do not).
int ExactBytes(UINT codePage, const wchar_t* text, int count, char* dst, int dstSize) {
  // UTF-8 refuses the default-character arguments; there, only an unpaired surrogate has
  // no form, and this flag makes it an error instead of U+FFFD.
  if (codePage == CP_UTF8)
    return WideCharToMultiByte(codePage, WC_ERR_INVALID_CHARS, text, count, dst, dstSize,
                               nullptr, nullptr);
  BOOL usedDefault = FALSE;
  int bytes = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, count, dst, dstSize,
                                  nullptr, &usedDefault);
  return usedDefault ? 0 : bytes;
}

// The first character of text that codePage cannot hold; empty when none is found.
UnheldChar FirstUnheld(UINT codePage, const wchar_t* text) {
  UnheldChar unheld;
  for (const wchar_t* p = text; *p != L'\0';) {
    int units = IsHighSurrogate(p[0]) && IsLowSurrogate(p[1]) ? 2 : 1;
    if (ExactBytes(codePage, p, units, nullptr, 0) == 0) {
      for (int i = 0; i < units; ++i) unheld.units[i] = p[i];
      break;
    }
    p += units;
  }
  return unheld;
}

// A message assembled in a fixed buffer; what does not fit is left off (the texts and a
// path buffer's worth of name fit many times over).
class WideText {
 public:
  WideText& operator<<(const wchar_t* s) {
    while (*s != L'\0' && used_ + 1 < kTextSize) text_[used_++] = *s++;
    text_[used_] = L'\0';
    return *this;
  }
  WideText& Number(unsigned long n, unsigned base, int minDigits) {
    wchar_t digits[12] = {};
    int i = 11;
    do {
      digits[--i] = L"0123456789ABCDEF"[n % base];
      n /= base;
    } while ((n != 0 || 11 - i < minDigits) && i > 0);
    return *this << &digits[i];
  }
  const wchar_t* get() const { return text_; }

 private:
  wchar_t text_[kTextSize] = {};
  size_t used_ = 0;
};

const wchar_t kMessageTitle[] = L"Velvorine Install";

// "Ω" (U+03A9), a character that this system's code page (1252) cannot hold
void NameUnheld(WideText& text, const UnheldChar& unheld, UINT codePage = GetACP()) {
  unsigned long code = unheld.units[0];
  if (IsHighSurrogate(unheld.units[0]))
    code = 0x10000 + ((code - 0xD800) << 10) + (unheld.units[1] - 0xDC00);
  text << L"\"" << unheld.units << L"\" (U+";
  text.Number(code, 16, 4) << L"), a character that this system's code page (";
  text.Number(codePage, 10, 1) << L") cannot hold";
}

}  // namespace

AnsiConversion ToCodePage(UINT codePage, const wchar_t* text, char* dst, size_t dstSize,
                          UnheldChar* unheld) {
  if (codePage == CP_ACP) codePage = GetACP();
  dst[0] = '\0';
  int bytes = ExactBytes(codePage, text, -1, nullptr, 0);
  if (bytes == 0) {
    *unheld = FirstUnheld(codePage, text);
    return AnsiConversion::kNotHeld;
  }
  if (static_cast<size_t>(bytes) > dstSize) return AnsiConversion::kTooLong;
  ExactBytes(codePage, text, -1, dst, bytes);
  return AnsiConversion::kWhole;
}

UINT SystemAnsiCodePage() {
  // The system locale's ANSI code page, which programs without a code page of their own
  // are given. Not the registry's Nls\CodePage "ACP": Wine writes there the code page of
  // whichever program last started in another locale, this one's UTF-8 included.
  DWORD codePage = 0;
  if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                     reinterpret_cast<wchar_t*>(&codePage), sizeof codePage / sizeof(wchar_t)) !=
          0 &&
      codePage != 0 && IsValidCodePage(codePage))
    return codePage;
  return GetACP();
}

bool RoundTrips(UINT codePage, const wchar_t* text, UnheldChar* unheld) {
  // Character by character: the system's ANSI code pages keep no state between them.
  for (const wchar_t* p = text; *p != L'\0';) {
    int units = IsHighSurrogate(p[0]) && IsLowSurrogate(p[1]) ? 2 : 1;
    char bytes[8];
    wchar_t back[4];
    int byteCount = ExactBytes(codePage, p, units, bytes, sizeof bytes);
    int backCount =
        byteCount > 0 ? MultiByteToWideChar(codePage, 0, bytes, byteCount, back, 4) : 0;
    if (backCount != units || wmemcmp(back, p, static_cast<size_t>(units)) != 0) {
      *unheld = UnheldChar();
      for (int i = 0; i < units; ++i) unheld->units[i] = p[i];
      return false;
    }
    p += units;
  }
  return true;
}

AnsiConversion ReadItemText(HWND dialog, int id, char* dst, size_t dstSize,
                            UnheldChar* unheld) {
  HWND item = GetDlgItem(dialog, id);
  wchar_t text[kTextSize];
  // Every unit takes a byte at least: more units than dst has bytes cannot fit.
  size_t units = static_cast<size_t>(GetWindowTextLengthW(item));
  if (units >= dstSize || units >= kTextSize) {
    dst[0] = '\0';
    return AnsiConversion::kTooLong;
  }
  GetWindowTextW(item, text, kTextSize);
  return ToCodePage(CP_ACP, text, dst, dstSize, unheld);
}

void ShowDirectoryNotHeld(HWND owner, const UnheldChar& unheld) {
  WideText text;
  text << L"The directory holds ";
  NameUnheld(text, unheld);
  text << L": setup would make a folder of another name. Type a directory without it.";
  MessageBoxW(owner, text.get(), kMessageTitle, MB_OK | MB_ICONWARNING);
}

void ShowDirectoryNotReadable(HWND owner, const UnheldChar& unheld, UINT codePage) {
  WideText text;
  text << L"The directory holds ";
  NameUnheld(text, unheld, codePage);
  text << L": the plug-in reads this folder's name in the system's code page, and would not "
          L"find it. Type a directory without it.";
  MessageBoxW(owner, text.get(), kMessageTitle, MB_OK | MB_ICONWARNING);
}

bool CommandFolderHeld(HKEY key) {
  wchar_t command[kTextSize];
  DWORD type = 0;
  DWORD size = sizeof command - sizeof command[0];  // room for a terminator it may lack
  if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(command),
                       &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return true;
  command[size / sizeof command[0]] = L'\0';
  if (wchar_t* name = wcsrchr(command, L'\\')) *name = L'\0';
  char folder[kTextSize * 4];  // room for any conversion of it: only holding matters
  UnheldChar unheld;
  return ToCodePage(CP_ACP, command, folder, sizeof folder, &unheld) !=
         AnsiConversion::kNotHeld;
}

bool RefuseModuleFolderNotHeld(HWND owner) {
  wchar_t folder[kPathSize];
  DWORD length = GetModuleFileNameW(g_state.instance, folder, kPathSize);
  if (length == 0 || length >= kPathSize) return false;  // the ANSI name's checks say so
  if (wchar_t* name = wcsrchr(folder, L'\\')) name[1] = L'\0';
  char ansi[kPathSize * 4];
  UnheldChar unheld;
  if (ToCodePage(CP_ACP, folder, ansi, sizeof ansi, &unheld) != AnsiConversion::kNotHeld)
    return false;
  WideText text;
  text << L"Setup cannot run from this folder, because its path holds ";
  NameUnheld(text, unheld);
  text << L":\n\n" << folder
       << L"\n\nMove the setup files to a folder without such characters and run setup "
          L"again.";
  MessageBoxW(owner, text.get(), kMessageTitle, MB_OK | MB_ICONERROR);
  return true;
}
