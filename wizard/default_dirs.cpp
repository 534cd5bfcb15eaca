#include "wizard/default_dirs.h"

#include "app/ansi_text.h"
#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"

namespace {

// The image editor's open commands, newest version first.
const char* const kEditorCommandKeys[] = {
    "Photoshop.Image.4\\shell\\open\\command",
    "Photoshop.Image.3\\shell\\open\\command",
};
const char kPluginFolderName[] = "plugins";
const char kSamplesBelowRoot[] = "Program Files\\Brontavia\\Velvorine";
const char kFallbackWindowsDir[] = "c:\\";

// Closes a registry key when it goes out of scope.
class OpenKey {
 public:
  OpenKey(HKEY root, const char* path) {
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// Reads the key's default value into messageText as a terminated string. A stored value
// need not carry its own terminator; one that leaves no room for it counts as unreadable.
bool ReadDefaultValue(HKEY key) {
  char* text = g_state.messageText;
  DWORD size = kTextSize;
  if (RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) !=
      ERROR_SUCCESS)
    return false;
  if (size > kTextSize) return false;
  if (TextLength(text, size) < size) return true;  // terminated within what was read
  if (size == kTextSize) return false;
  text[size] = '\0';
  return true;
}

// One open command: its folder with "plugins" behind it, kept in pluginDir when something
// of that name exists.
void TryEditorCommand(const char* keyPath) {
  OpenKey key(HKEY_CLASSES_ROOT, keyPath);
  // A folder that the legacy code page cannot hold would be read as a look-alike.
  if (!key.get() || !ReadDefaultValue(key.get()) || !CommandFolderHeld(key.get())) return;
  const char* candidate =
      FolderCandidateFromCommand(g_state.messageText, kTextSize, kPluginFolderName,
                                 AnsiLeadBytes());
  if (!candidate) return;
  // A candidate too long for the buffer is dropped, never cut to fit.
  if (!TextCopy(g_state.pluginDir, kPathSize, candidate)) return;
  if (GetFileAttributesA(g_state.pluginDir) == INVALID_FILE_ATTRIBUTES)
    g_state.pluginDir[0] = '\0';
}

}  // namespace

void FindPluginFolder() {
  for (const char* keyPath : kEditorCommandKeys) {
    if (g_state.pluginDir[0] != '\0') return;
    TryEditorCommand(keyPath);
  }
}

void SamplesFolderFromWindowsDir() {
  char* text = g_state.messageText;
  if (text[0] == '\0' || text[1] != ':') return;  // not on a drive letter
  char* slot = AfterFirstBackslash(text, AnsiLeadBytes());
  if (!slot || !WriteAtSlot(text, kTextSize, slot, kSamplesBelowRoot)) return;
  // A folder too long for a path buffer is no default: TextCopy then leaves samplesDir
  // empty, which is all there is to do.
  (void)TextCopy(g_state.samplesDir, text);
}

void DefaultSamplesFolder() {
  if (g_state.samplesDir[0] != '\0') return;
  UINT length = GetWindowsDirectoryA(g_state.messageText, kTextSize);
  // A result as large as the buffer means it was not filled.
  if (length == 0 || length >= kTextSize)
    (void)TextCopy(g_state.messageText, kFallbackWindowsDir);  // 4 bytes
  SamplesFolderFromWindowsDir();
}
