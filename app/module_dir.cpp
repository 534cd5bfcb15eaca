#include "app/module_dir.h"

#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "app/source_folder.h"

bool CaptureModuleDirectory(HINSTANCE instance) {
  DWORD length = GetModuleFileNameA(instance, g_state.moduleDir, kPathSize);
  // A cut name fills the whole buffer, and older systems leave it unterminated.
  TextTerminate(g_state.moduleDir, kPathSize);
  char* slot = AfterLastBackslash(g_state.moduleDir, AnsiLeadBytes());
  g_state.moduleNameSlot = slot ? slot : g_state.moduleDir;
  *g_state.moduleNameSlot = '\0';
  return length > 0 && length < kPathSize;
}

MediaCheck CheckSourceFolders() {
  MediaCheck check = {MediaFound::kAbsent, nullptr, 0};
  for (const Component& c : kComponents) {
    if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.moduleNameSlot, c.sourcePattern)) {
      check = {MediaFound::kTooLong, nullptr, 0};
      break;
    }
    size_t room = kPathSize - static_cast<size_t>(
        AfterLastBackslash(g_state.moduleNameSlot, AnsiLeadBytes()) - g_state.moduleDir);
    bool fit = true;
    FolderSearch search = SearchSourceFolder(g_state.moduleDir, [&](const WIN32_FIND_DATAA& e) {
      if (TextLength(e.cFileName, MAX_PATH) >= room) fit = false;
      return DWORD{ERROR_SUCCESS};
    });
    if (!fit) {
      check = {MediaFound::kTooLong, nullptr, 0};
      break;
    }
    if (check.found == MediaFound::kUnreadable) continue;  // the first one is named
    if (search.found == FolderFound::kUnreadable)
      check = {MediaFound::kUnreadable, &c, search.error};
    else if (search.found != FolderFound::kAbsent)
      check.found = MediaFound::kPresent;
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
    // Whatever the folder's verdict: the copy tells of a folder that it cannot read.
    (void)SearchSourceFolder(g_state.moduleDir, [&](const WIN32_FIND_DATAA& e) {
      size_t length = TextLength(e.cFileName, MAX_PATH);
      // Only the files are copied; a name of a path buffer's size fits name.
      if (!(e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && length > longest &&
          TextCopy(name, e.cFileName))
        longest = length;
      return DWORD{ERROR_SUCCESS};
    });
  }
  *g_state.moduleNameSlot = '\0';
  return longest;
}
