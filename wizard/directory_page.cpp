#include <windows.h>
#include <commdlg.h>
#include <stddef.h>
#include <string.h>
#include <wchar.h>

#include "wizard/directory_page.h"

#include "app/ansi_text.h"
#include "app/center_window.h"
#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/module_dir.h"
#include "app/path_text.h"
#include "app/system_text.h"
#include "resources/resource.h"
#include "wizard/directory_text.h"
#include "wizard/page_result.h"

namespace {

// The file-dialog record as it was before its later extensions: 76 bytes in a 32-bit
// program (and 136 in a 64-bit one).
constexpr DWORD kOldFileDialogRecordSize =
    offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR);
static_assert(sizeof(void*) != 4 || kOldFileDialogRecordSize == 76,
              "the older record ends with lpTemplateName");
// A hooked dialog without OFN_EXPLORER is the platform's older file dialog, whose directory
// list lets the user move from folder to folder.
constexpr DWORD kBrowseFlags = OFN_ENABLEHOOK | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_LONGNAMES;
static_assert(kBrowseFlags == 0x0020002C, "the Browse dialog's flags");
const wchar_t kBrowseTitle[] = L"Select Directory";
// Why Next refused the typed directory.
const char kRefusalTitle[] = "Velvorine Install";
const char kNotFullPathText[] =
    "The directory must be a full path that starts with its drive letter, for example "
    "C:\\Velvorine\\Samples (or a network path, such as \\\\server\\share\\Velvorine). "
    "Type the full path.";
const char kForbiddenCharacterText[] =
    "The directory cannot contain %s. No folder name may hold any of < > \" | ? * or a "
    "control character, and a colon may only follow the drive letter.";
// The limit is in bytes: a character outside the English alphabet takes two to four.
const char kTooLongText[] =
    "The directory is too long: it can have at most %s characters, fewer when they are not "
    "English letters (each of those takes the room of two to four). Type a shorter one.";
const char kNoRoomText[] =
    "The directory is too long for the file %s to fit behind it: a file's full path can have "
    "at most 259 characters, fewer when they are not English letters. Type a shorter one.";
const char kDevicePathText[] =
    "The directory cannot start with \\\\.\\ or \\\\?\\, which name devices, not folders. "
    "Type a path that starts with its drive letter, or a network path.";
const char kReservedNameText[] =
    "The directory cannot contain a folder named %s: Windows keeps that name for a device, "
    "as it does CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, with any extension. Type "
    "another name.";
const char kTrailingDotOrSpaceText[] =
    "The folder name \"%s\" ends in a dot or a space, which Windows leaves out of a folder's "
    "name: the files would go to a folder of another name. Type the name without it.";

// A block from the process heap, given back when it goes out of scope.
class HeapBlock {
 public:
  explicit HeapBlock(size_t size)
      : block_(static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size))) {}
  ~HeapBlock() {
    if (block_) HeapFree(GetProcessHeap(), 0, block_);
  }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  char* get() const { return block_; }

 private:
  char* block_;
};

// The file dialog's library is loaded at the first Browse, not at start: it brings six of
// the shell's libraries with it, which made the start-up to the first page 10 to 21 ms
// longer under Wine (a tenth or more). From System32 only (LOAD_LIBRARY_SEARCH_SYSTEM32);
// a system without that flag refuses it, and there the library is named by its full path
// in System32, its own imports searched from there first. It stays loaded until the end.
using SaveFileDialogFn = BOOL(WINAPI*)(LPOPENFILENAMEW);
SaveFileDialogFn LoadSaveFileDialog() {
  static SaveFileDialogFn s_dialog = nullptr;
  if (s_dialog) return s_dialog;
  HMODULE library = LoadLibraryExA("comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!library) {
    char path[kPathSize];
    UINT length = GetSystemDirectoryA(path, kPathSize);
    if (length > 0 && length < kPathSize && TextAppend(path, "\\comdlg32.dll"))
      library = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  if (library)
    s_dialog = reinterpret_cast<SaveFileDialogFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetSaveFileNameW")));
  return s_dialog;
}

// Says over the page that Browse cannot open, with the system's reason; typing still works.
void ShowBrowseUnavailable(HWND page, DWORD error) {
  static_assert(sizeof "Browse cannot open the folder dialog: " + 256 <= kTextSize, "it fits");
  (void)TextCopy(g_state.messageText, "Browse cannot open the folder dialog: ");
  AppendSystemText(g_state.messageText, error);
  (void)TextAppend(g_state.messageText, "\n\nType the directory instead.");
  MessageBoxA(page, g_state.messageText, kRefusalTitle, MB_OK | MB_ICONWARNING);
}

// The Save As dialog as a folder picker: the user moves to a folder and confirms the marker
// file there; its folder goes into the edit box. Only Next stores it. Unicode, so that a
// folder the ANSI code page cannot hold comes back as named, for Next to refuse, not as a
// look-alike, and so that no name is cut for its size in bytes.
void Browse(HWND page) {
  SaveFileDialogFn saveFileDialog = LoadSaveFileDialog();
  if (!saveFileDialog) {
    ShowBrowseUnavailable(page, GetLastError());
    return;
  }
  HeapBlock file(kPathSize * sizeof(wchar_t));
  wchar_t* name = reinterpret_cast<wchar_t*>(file.get());
  // The marker names are short constants; one that did not fit would offer no file.
  if (!name || !MultiByteToWideChar(CP_ACP, 0, g_state.pageMarkerFile, -1, name, kPathSize))
    return;

  OPENFILENAMEW record = {};
  record.lStructSize = kOldFileDialogRecordSize;
  record.hwndOwner = page;
  record.lpstrFile = name;
  record.nMaxFile = kPathSize;
  // The stored directory, not what is typed in the edit box.
  wchar_t stored[kPathSize];
  if (g_state.pageDirectory[0] != '\0' &&
      MultiByteToWideChar(CP_ACP, 0, g_state.pageDirectory, -1, stored, kPathSize))
    record.lpstrInitialDir = stored;
  record.lpstrTitle = kBrowseTitle;
  record.Flags = kBrowseFlags;
  record.lpfnHook = BrowseHookProc;

  // The older dialog moves the current directory as the user moves through folders, under
  // Wine even with OFN_NOCHANGEDIR: put it back, so that the next Browse of an empty
  // directory opens where the program was started.
  wchar_t current[kPathSize];
  DWORD length = GetCurrentDirectoryW(kPathSize, current);
  BOOL chosen = saveFileDialog(&record);
  if (length > 0 && length < kPathSize) SetCurrentDirectoryW(current);
  if (!chosen) return;

  name[kPathSize - 1] = L'\0';
  wchar_t* lastBackslash = wcsrchr(name, L'\\');
  *(lastBackslash ? lastBackslash : name) = L'\0';
  SetDlgItemTextW(page, IDC_DIRECTORY, name);
}

// Says over the page why its directory was refused; the page stays, as typed.
void ShowRefusal(HWND page, const char* directory, const DirectoryCheck& check) {
  char named[kPathSize] = "a control character";
  // Each text with its argument (a character or a folder name, a number) fits the
  // buffers whole.
  static_assert(sizeof kForbiddenCharacterText + sizeof named <= kTextSize &&
                    sizeof kNotFullPathText <= kTextSize && sizeof kTooLongText + 24 <= kTextSize &&
                    sizeof kReservedNameText + sizeof named <= kTextSize &&
                    sizeof kTrailingDotOrSpaceText + sizeof named <= kTextSize,
                "the messages fit");
  switch (check.problem) {
    case DirectoryProblem::kForbiddenCharacter:
      if (static_cast<unsigned char>(check.character) >= 0x20) {
        const char character[2] = {check.character, '\0'};
        (void)FormatText(named, "the character %s", character);
      }
      (void)FormatText(g_state.messageText, kForbiddenCharacterText, named);
      break;
    case DirectoryProblem::kNotFullPath:
      (void)TextCopy(g_state.messageText, kNotFullPathText);
      break;
    case DirectoryProblem::kDevicePath:
      (void)TextCopy(g_state.messageText, kDevicePathText);
      break;
    case DirectoryProblem::kReservedName:
    case DirectoryProblem::kTrailingDotOrSpace:
      // A part of a directory read into a path buffer fits one.
      if (check.partLength < sizeof named) {
        memcpy(named, directory + check.partStart, check.partLength);
        named[check.partLength] = '\0';
      }
      (void)FormatText(g_state.messageText,
                       check.problem == DirectoryProblem::kReservedName ? kReservedNameText
                                                                        : kTrailingDotOrSpaceText,
                       named);
      break;
    default:  // too long
      (void)FormatNumber(g_state.messageText, kTextSize, kTooLongText, kMaxDirectoryLength);
      break;
  }
  MessageBoxA(page, g_state.messageText, kRefusalTitle, MB_OK | MB_ICONWARNING);
}

// The component whose directory the page edits; nullptr for another buffer.
const Component* PageComponent() {
  for (const Component& c : kComponents)
    if (ComponentDirectory(c) == g_state.pageDirectory) return &c;
  return nullptr;
}

// The superscript digits as the program's code page writes them, for the device names.
SuperscriptDigits AnsiSuperscripts() {
  SuperscriptDigits digits = {};
  const wchar_t superscripts[3][2] = {L"\u00B9", L"\u00B2", L"\u00B3"};
  UnheldChar unheld;
  for (int i = 0; i < 3; ++i)
    (void)ToCodePage(CP_ACP, superscripts[i], digits.digit[i], sizeof digits.digit[i], &unheld);
  return digits;
}

// What the component's own files and readers ask of a directory that passed the checks:
// room behind it for its longest file name, and a name that its registry value's readers,
// other programs working in the system's code page, read back unchanged. False, once the
// user has been told, when it falls short.
bool FitsItsComponent(HWND page, const char* directory) {
  const Component* component = PageComponent();
  if (!component) return true;
  char longest[kPathSize];
  size_t longestLength = LongestSourceName(*component, longest);
  if (TextLength(directory, kPathSize) > MaxDirectoryLengthFor(longestLength)) {
    static_assert(sizeof kNoRoomText + kPathSize <= kTextSize, "the message fits");
    (void)FormatText(g_state.messageText, kNoRoomText, longest);
    MessageBoxA(page, g_state.messageText, kRefusalTitle, MB_OK | MB_ICONWARNING);
    return false;
  }
  if (!component->registryValue) return true;
  // The typed text holds every character of the cleaned one.
  wchar_t typed[kPathSize] = {};
  GetDlgItemTextW(page, IDC_DIRECTORY, typed, kPathSize);
  UINT systemCodePage = SystemAnsiCodePage();
  UnheldChar unheld;
  if (!RoundTrips(systemCodePage, typed, &unheld)) {
    ShowDirectoryNotReadable(page, unheld, systemCodePage);
    return false;
  }
  return true;
}

// Next: the edit box's text, cleaned, becomes the page's directory, unless it cannot be
// one; then the user is told why and nothing is stored. False when refused.
bool StoreTypedDirectory(HWND page) {
  char typed[kPathSize];
  UnheldChar unheld;
  // Read whole, as Unicode: typing stops at 259 characters, which may be more bytes, and
  // another program may put more there. Too long is refused, never cut.
  DirectoryCheck check = {DirectoryProblem::kTooLong, '\0'};
  switch (ReadItemText(page, IDC_DIRECTORY, typed, kPathSize, &unheld)) {
    case AnsiConversion::kWhole:
      CleanDirectoryText(typed, AnsiLeadBytes());
      check = CheckDirectoryText(typed, AnsiLeadBytes(), AnsiSuperscripts());
      break;
    case AnsiConversion::kTooLong:
      break;
    case AnsiConversion::kNotHeld:
      ShowDirectoryNotHeld(page, unheld);
      return false;
  }
  if (check.problem != DirectoryProblem::kNone) {
    ShowRefusal(page, typed, check);
    return false;
  }
  if (!FitsItsComponent(page, typed)) return false;
  // Cleaning only shortens it: it fits the buffer it was read for.
  (void)TextCopy(g_state.pageDirectory, kPathSize, typed);
  return true;
}

}  // namespace

int ShowDirectoryPage(HWND parent, char* directory, const char* displayName,
                      const char* markerFile) {
  g_state.pageDirectory = directory;
  g_state.pageDisplayName = displayName;
  g_state.pageMarkerFile = markerFile;
  // A Unicode dialog: the classic edit box keeps the text in its creator's form, and an
  // ANSI one would already have lost what the legacy code page cannot hold.
  return static_cast<int>(DialogBoxParamW(g_state.instance, MAKEINTRESOURCEW(IDD_DIRECTORY),
                                          parent, DirectoryPageProc, 0));
}

INT_PTR CALLBACK DirectoryPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      LoadStringA(g_state.instance, IDS_DIRPROMPT, g_state.messageText, kTextSize);
      // The string and the display names are short constants: the prompt fits whole.
      if (FormatText(g_state.formatText, g_state.messageText, g_state.pageDisplayName))
        SetDlgItemTextA(dialog, IDC_PROMPT, g_state.formatText);
      // Characters past 259 never fit the directory buffer.
      SendDlgItemMessageA(dialog, IDC_DIRECTORY, EM_LIMITTEXT, kPathSize - 1, 0);
      SetDlgItemTextA(dialog, IDC_DIRECTORY, g_state.pageDirectory);
      CenterWindow(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (!StoreTypedDirectory(dialog)) return TRUE;  // refused, said why: the page stays
          EndDialog(dialog, kPageNext);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, kPageCancel);
          return TRUE;
        case IDC_BACK:
          EndDialog(dialog, kPageBack);
          return TRUE;
        case IDC_BROWSE:
          Browse(dialog);
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

UINT_PTR CALLBACK BrowseHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterWindow(dialog);
      break;
    case WM_COMMAND:
      // Only a folder is wanted: the file name is not to be typed, so an edit box that
      // takes the focus hands it on to OK.
      if (HIWORD(wParam) == EN_SETFOCUS) {
        HWND ok = GetDlgItem(dialog, IDOK);
        if (ok) SetFocus(ok);
      }
      break;
    default:
      break;
  }
  return 0;
}
