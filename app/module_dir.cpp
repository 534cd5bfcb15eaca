#include "app/module_dir.h"

#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"

bool CaptureModuleDirectory(HINSTANCE instance) {
  DWORD length = GetModuleFileNameA(instance, g_state.moduleDir, kPathSize);
  // A cut name fills the whole buffer, and older systems leave it unterminated.
  TextTerminate(g_state.moduleDir, kPathSize);
  char* slot = AfterLastBackslash(g_state.moduleDir, AnsiLeadBytes());
  g_state.moduleNameSlot = slot ? slot : g_state.moduleDir;
  *g_state.moduleNameSlot = '\0';
  return length > 0 && length < kPathSize;
}

namespace {

// Every entry of the folder searched by the pattern now at moduleNameSlot fits behind the
// folder's backslash.
bool EntriesFit() {
  char* folderSlot = AfterLastBackslash(g_state.moduleNameSlot, AnsiLeadBytes());
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(g_state.moduleDir, &found);
  if (search == INVALID_HANDLE_VALUE) return true;  // nothing there to read
  size_t room = kPathSize - static_cast<size_t>(folderSlot - g_state.moduleDir);
  bool fit = true;
  do {
    found.cFileName[MAX_PATH - 1] = '\0';
    if (TextLength(found.cFileName, MAX_PATH) >= room) fit = false;
  } while (fit && FindNextFileA(search, &found));
  FindClose(search);
  return fit;
}

}  // namespace

bool SourcePathsFit() {
  bool fit = true;
  for (const Component& c : kComponents) {
    fit = WriteAtSlot(g_state.moduleDir, kPathSize, g_state.moduleNameSlot, c.sourcePattern) &&
          EntriesFit();
    if (!fit) break;
  }
  *g_state.moduleNameSlot = '\0';
  return fit;
}

namespace {

// What the search of a source folder, by its pattern now at moduleNameSlot, finds: the
// folder is there and read, absent, or there and not read (*error).
MediaFound SearchSourceFolder(DWORD* error) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(g_state.moduleDir, &found);  // "." of a folder that is there
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    return MediaFound::kPresent;
  }
  *error = GetLastError();
  // A folder with no entry at all (a drive's root) is there; a missing one, or a file
  // of its name, is no folder.
  if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_NO_MORE_FILES) return MediaFound::kPresent;
  if (*error == ERROR_PATH_NOT_FOUND || *error == ERROR_DIRECTORY) return MediaFound::kAbsent;
  return MediaFound::kUnreadable;
}

}  // namespace

MediaCheck FindSourceFolders() {
  MediaCheck check = {MediaFound::kAbsent, nullptr, 0};
  for (const Component& c : kComponents) {
    // The patterns fit: SourcePathsFit has written each of them there.
    if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.moduleNameSlot, c.sourcePattern))
      continue;
    DWORD error = 0;
    MediaFound found = SearchSourceFolder(&error);
    if (found == MediaFound::kUnreadable) {
      check = {found, &c, error};
      break;
    }
    if (found == MediaFound::kPresent) check.found = found;
  }
  *g_state.moduleNameSlot = '\0';
  return check;
}

bool SourceFolderName(const Component& c, char (&folder)[kPathSize]) {
  if (!TextCopy(folder, g_state.moduleDir) || !TextAppend(folder, c.sourcePattern)) return false;
  CutAtLastBackslash(folder, AnsiLeadBytes());
  return true;
}

size_t LongestSourceName(const Component& c, char (&name)[kPathSize]) {
  name[0] = '\0';
  size_t longest = 0;
  if (WriteAtSlot(g_state.moduleDir, kPathSize, g_state.moduleNameSlot, c.sourcePattern)) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(g_state.moduleDir, &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        found.cFileName[MAX_PATH - 1] = '\0';
        size_t length = TextLength(found.cFileName, MAX_PATH);
        // Only the files are copied; a name of a path buffer's size fits name.
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && length > longest &&
            TextCopy(name, found.cFileName))
          longest = length;
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
  }
  *g_state.moduleNameSlot = '\0';
  return longest;
}
