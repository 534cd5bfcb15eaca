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

bool AnySourceFolderPresent() {
  bool any = false;
  for (const Component& c : kComponents) {
    // The patterns fit: SourcePathsFit has written each of them there.
    if (!WriteAtSlot(g_state.moduleDir, kPathSize, g_state.moduleNameSlot, c.sourcePattern))
      continue;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(g_state.moduleDir, &found);  // "." of a folder that is there
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      any = true;
      break;
    }
  }
  *g_state.moduleNameSlot = '\0';
  return any;
}
