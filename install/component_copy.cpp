#include <string.h>

#include "install/component_copy.h"

#include "app/center_window.h"
#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "resources/resource.h"

namespace {

const char kBoxTitle[] = "Velvorine Install";

// Reasons of this program's own, as error codes with the application bit (29) set, so
// that they travel the same way as the system's.
constexpr DWORD kIsFolder = 0x20000001;
constexpr DWORD kDestinationTooLong = 0x20000002;
constexpr DWORD kSourceTooLong = 0x20000003;
constexpr DWORD kNoRoomBeside = 0x20000004;  // never shown: the file is overwritten instead

// The worker of the copy in progress; only the user-interface thread touches it.
HANDLE s_worker = nullptr;
// Numbers the worker's temporary names; only the worker touches it.
unsigned s_tempNumber = 0;

// Appends name and its terminator to the list at used, doubling the block while it is
// too small. The last byte of the block stays free for the empty name that ends the
// list. False when the heap cannot give a larger block (the old one is kept).
bool AppendName(char** list, size_t* size, size_t* used, const char* name) {
  while (!WriteAtSlot(*list, *size - 1, *list + *used, name)) {
    void* larger = HeapReAlloc(GetProcessHeap(), 0, *list, *size * 2);
    if (!larger) return false;
    *list = static_cast<char*>(larger);
    *size *= 2;
  }
  *used += strlen(name) + 1;
  return true;
}

// Waits until the worker has ended, handling messages meanwhile: the worker's texts are
// sent to this thread's windows, so a plain wait would leave both threads waiting. (A
// quit message cannot end the install here: the main window swallows it while the
// wizard runs.) Returns the worker's exit code, the number of files it installed.
DWORD AwaitWorker() {
  if (!s_worker) return 0;
  while (MsgWaitForMultipleObjects(1, &s_worker, FALSE, INFINITE, QS_ALLINPUT) ==
         WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  DWORD installed = 0;
  GetExitCodeThread(s_worker, &installed);
  CloseHandle(s_worker);
  s_worker = nullptr;
  return installed;
}

// The entries a folder search yields for the folder itself and its parent.
bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

const char* NextName(const char* name) { return name + strlen(name) + 1; }

const char* FirstFile(const char* list) {
  for (const char* name = list; *name; name = NextName(name))
    if (!IsDotEntry(name)) return name;
  return nullptr;
}

int CountFiles(const char* list) {
  int count = 0;
  for (const char* name = list; *name; name = NextName(name))
    if (!IsDotEntry(name)) ++count;
  return count;
}

// Short words and three path-sized strings always fit the text buffer whole.
static_assert(3 * kPathSize + 128 <= kTextSize, "a question fits the text buffer");

// out = lead, the destination directory as chosen (without the backslash that the copy
// appended), then a backslash and name when name is given: the full path even when it
// does not fit a path buffer.

void DescribeDestination(char (&out)[kTextSize], const char* lead, const char* name) {
  char* cut = g_state.destNameSlot - 1;  // the appended backslash, or the terminator
  char kept = *cut;
  *cut = '\0';
  (void)TextCopy(out, lead);
  (void)TextAppend(out, g_state.destPath);
  *cut = kept;
  if (!name) return;
  (void)TextAppend(out, "\\");
  (void)TextAppend(out, name);
}

void ShowFileName(HWND dialog, const char* name) {
  (void)FormatText(g_state.messageText, "Copying %s", name);  // a name fits whole
  SetDlgItemTextA(dialog, IDC_COPYFILE, g_state.messageText);
}

DWORD WithoutReadOnly(DWORD attributes) {
  attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// A copy takes the source's attributes; media burnt on a disc are read-only, and an
// installed file that kept it could not be replaced by the next install.
DWORD ClearReadOnly(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return ERROR_SUCCESS;
  return SetFileAttributesA(path, WithoutReadOnly(attributes)) ? ERROR_SUCCESS : GetLastError();
}

// Whether the source can be read: a copy that failed although it can failed at the
// destination.
bool SourceOpens(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// A rename over a file that another program holds open fails as "access denied"; tell the
// user that it is in use when that is why.
DWORD WhyNotReplaced(const char* path, DWORD error) {
  if (error != ERROR_ACCESS_DENIED) return error;
  HANDLE file = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return error;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION : error;
}

// Copies the source into temp, a fresh temporary name beside the destination. On failure
// nothing is left under the temporary name.
DWORD CopyBeside(char (&temp)[kPathSize]) {
  if (!TextCopy(temp, kPathSize, g_state.destPath)) return kNoRoomBeside;
  char* slot = temp + (g_state.destNameSlot - g_state.destPath);
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[] = "~vlv0000.tmp";
    unsigned number = s_tempNumber++;
    for (int i = 7; i >= 4; --i, number >>= 4) name[i] = "0123456789abcdef"[number & 15];
    if (!WriteAtSlot(temp, kPathSize, slot, name)) return kNoRoomBeside;
    if (CopyFileA(g_state.moduleDir, temp, TRUE)) {
      DWORD error = ClearReadOnly(temp);
      if (error != ERROR_SUCCESS) DeleteFileA(temp);
      return error;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      DeleteFileA(temp);  // the name was free: whatever stands there is the failed copy's
      return error;
    }
  }
  return ERROR_FILE_EXISTS;
}

// No room for a temporary name beside the file: overwrite it in place. An overwrite that
// failed after it began leaves a file cut short, which is removed rather than left to
// pass for the installed one.
DWORD OverwriteInPlace(DWORD old) {
  const char* dest = g_state.destPath;
  WIN32_FILE_ATTRIBUTE_DATA before, after;
  if (!GetFileAttributesExA(dest, GetFileExInfoStandard, &before)) return GetLastError();
  if (old & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(dest, WithoutReadOnly(old));
  if (CopyFileA(g_state.moduleDir, dest, FALSE)) {
    SetFileAttributesA(dest, WithoutReadOnly(old));
    return ERROR_SUCCESS;
  }
  DWORD error = GetLastError();
  if (GetFileAttributesExA(dest, GetFileExInfoStandard, &after) &&
      (after.nFileSizeLow != before.nFileSizeLow || after.nFileSizeHigh != before.nFileSizeHigh ||
       CompareFileTime(&after.ftLastWriteTime, &before.ftLastWriteTime) != 0)) {
    DeleteFileA(dest);
  } else if (old & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesA(dest, old);
  }
  return error;
}

// Replaces the file at the destination with a copy made beside it, then renamed over it:
// a copy that fails (a full drive) leaves the old file whole. MoveFileExA rather than
// ReplaceFileA: the rename either happens or not, whereas ReplaceFileA can fail having
// removed the old file. The old file's attributes are kept, read-only apart.
DWORD ReplaceExisting() {
  const char* dest = g_state.destPath;
  DWORD old = GetFileAttributesA(dest);
  if (old == INVALID_FILE_ATTRIBUTES) return GetLastError();
  char temp[kPathSize];
  DWORD error = CopyBeside(temp);
  if (error == kNoRoomBeside) return OverwriteInPlace(old);
  if (error != ERROR_SUCCESS) return error;

  DWORD kept = WithoutReadOnly(old);
  if (old & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(dest, kept);  // else refused
  if (!MoveFileExA(temp, dest, MOVEFILE_REPLACE_EXISTING)) {
    error = WhyNotReplaced(dest, GetLastError());
    DeleteFileA(temp);
    if (old & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(dest, old);
    return error;
  }
  SetFileAttributesA(dest, kept);
  return ERROR_SUCCESS;
}

// Installs the entry name: its source and destination paths are formed at the two slots.
// ERROR_SUCCESS, or why it was not installed; no part of a failed copy stays under the
// file's name.
DWORD InstallFile(const char* name) {
  if (!WriteAtSlot(g_state.destPath, kPathSize, g_state.destNameSlot, name))
    return kDestinationTooLong;
  if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.sourceNameSlot, name))
    return kSourceTooLong;
  const char* source = g_state.moduleDir;
  const char* dest = g_state.destPath;
  // A new name first. Failing if it exists also spares a lookup: an overwriting copy
  // first opens the destination to see whether it is the source itself, and under Wine
  // each lookup of a name that is not there reads the whole folder.
  if (CopyFileA(source, dest, TRUE)) return ClearReadOnly(dest);
  DWORD error = GetLastError();
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return ReplaceExisting();
  DWORD attributes = GetFileAttributesA(source);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return kIsFolder;
  // The name was free, so whatever stands there now is what the failed copy left.
  if (SourceOpens(source)) DeleteFileA(dest);
  return error;
}

// The question about an entry that could not be installed, in messageText: its full
// destination, then the reason.
void DescribeFailure(const char* name, DWORD error) {
  char (&text)[kTextSize] = g_state.messageText;
  DescribeDestination(text, "Could not install ", name);
  (void)TextAppend(text, "\n\n");
  switch (error) {
    case kIsFolder:
      (void)TextAppend(text, g_state.moduleDir);  // the source, name at its slot
      (void)TextAppend(text, " is a folder; folders are not installed.");
      return;
    case kDestinationTooLong:
      (void)TextAppend(text,
                       "Its full path is longer than the 259 characters that a path may have.");
      return;
    case kSourceTooLong:
      (void)TextAppend(text,
                       "Its path on the installation media is longer than the 259 characters "
                       "that a path may have.");
      return;
  }
  size_t used = strlen(text);
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, text + used,
                                static_cast<DWORD>(kTextSize - used), nullptr);
  TextTerminate(text, kTextSize);
  if (length == 0) (void)FormatNumber(text + used, kTextSize - used, "System error %s.", error);
  // The system's texts end with a line break.
  for (size_t end = strlen(text); end > used && strchr(" \r\n", text[end - 1]); --end)
    text[end - 1] = '\0';
}

BOOL CALLBACK AbortBox(HWND box, LPARAM) {
  PostMessageA(box, WM_COMMAND, IDABORT, 0);
  return TRUE;
}

// The worker's timer while its question is up: once the progress dialog has been closed
// (Cancel), the question is withdrawn as if answered Abort.
void CALLBACK WithdrawQuestion(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_state.copyDialog) EnumThreadWindows(GetCurrentThreadId(), AbortBox, 0);
}

// Names the entry that could not be installed in a message box owned by the progress
// dialog, shown by the worker itself. IDRETRY, IDIGNORE, or IDABORT (also when the dialog
// has been closed meanwhile).
int AskAboutFailure(HWND dialog, const char* name, DWORD error) {
  DescribeFailure(name, error);
  UINT_PTR timer = SetTimer(nullptr, 0, 100, WithdrawQuestion);
  int answer = MessageBoxA(dialog, g_state.messageText, kBoxTitle,
                           MB_ABORTRETRYIGNORE | MB_ICONWARNING | MB_DEFBUTTON2);
  if (timer) KillTimer(nullptr, timer);
  if (!g_state.copyDialog) return IDABORT;
  return answer == IDRETRY || answer == IDABORT ? answer : IDIGNORE;
}

}  // namespace

char* ListSourceFolder(const char* sourcePattern) {
  if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.moduleNameSlot, sourcePattern))
    return nullptr;
  size_t size = kFileListStart, used = 0;
  char* list = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
  if (!list) return nullptr;

  bool whole = true;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(g_state.moduleDir, &found);
  while (search != INVALID_HANDLE_VALUE) {
    found.cFileName[MAX_PATH - 1] = '\0';
    if (!AppendName(&list, &size, &used, found.cFileName)) whole = false;
    if (!whole || !FindNextFileA(search, &found)) {
      FindClose(search);
      search = INVALID_HANDLE_VALUE;
    }
  }
  list[used] = '\0';
  if (!whole || list[0] == '\0') {
    HeapFree(GetProcessHeap(), 0, list);
    return nullptr;
  }
  return list;
}

int CopyComponentFiles(HWND parent, const char*, const char* sourcePattern, char* directory) {
  char* list = ListSourceFolder(sourcePattern);
  if (!list) return 1;  // nothing to copy: no dialog, the directory left as it is

  // The slot goes behind a backslash appended to the directory. When not even that fits,
  // the slot lies at the buffer's end, so that every name is refused as too long and
  // named to the user rather than passed over.
  size_t chosenLength = strlen(directory);
  bool appended = TextAppend(directory, kPathSize, "\\");
  g_state.sourceNameSlot = AfterLastBackslash(g_state.moduleDir, AnsiLeadBytes());
  g_state.destPath = directory;
  g_state.destNameSlot = directory + chosenLength + 1;
  g_state.fileList = list;
  int listed = CountFiles(list);

  DialogBoxParamA(g_state.instance, MAKEINTRESOURCEA(IDD_COPYING), parent, CopyProgressProc,
                  0);
  g_state.copyDialog = nullptr;  // however the dialog ended, the worker must stop
  DWORD installed = AwaitWorker();

  g_state.fileList = nullptr;
  HeapFree(GetProcessHeap(), 0, list);
  if (appended) *g_state.destNameSlot = '\0';  // the directory with its backslash only
  // Passed over, failed, or left behind by a Cancel.
  g_state.filesNotInstalled += listed - static_cast<int>(installed);
  return 1;
}

INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      g_state.copyDialog = dialog;
      CenterWindow(dialog);
      // The template's texts are placeholders: the first file and the destination are in
      // place before the dialog appears, and the destination stays for the component.
      if (const char* first = FirstFile(g_state.fileList))
        ShowFileName(dialog, first);
      else
        SetDlgItemTextA(dialog, IDC_COPYFILE, "");
      DescribeDestination(g_state.messageText, "to ", nullptr);
      SetDlgItemTextA(dialog, IDC_COPYDEST, g_state.messageText);
      s_worker = CreateThread(nullptr, 0, CopyWorker, nullptr, 0, nullptr);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          g_state.copyDialog = nullptr;
          EndDialog(dialog, 1);
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

DWORD WINAPI CopyWorker(LPVOID) {
  DWORD installed = 0;
  bool named = true;  // the dialog named the first file before it appeared
  const char* name = g_state.fileList;
  while (name && *name) {
    HWND dialog = g_state.copyDialog;
    if (!dialog) return installed;  // cancelled: the dialog is closing already

    if (!IsDotEntry(name)) {
      // One cross-thread call per file: the second line names the directory all along.
      if (!named) ShowFileName(dialog, name);
      named = false;
      for (;;) {
        DWORD error = InstallFile(name);
        if (error == ERROR_SUCCESS) {
          ++installed;
          break;
        }
        int answer = AskAboutFailure(dialog, name, error);
        if (answer == IDIGNORE) break;
        if (answer == IDABORT) {
          // As the Cancel button does; a dialog that has gone ignores it.
          if (g_state.copyDialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
          return installed;
        }
      }
    }
    name = NextName(name);
    if (!g_state.fileList) break;
  }
  if (HWND dialog = g_state.copyDialog) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  return installed;
}
