#include <string.h>

#include "install/install_sequence.h"

#include "app/installer_state.h"
#include "app/path_text.h"
#include "app/timing_marks.h"
#include "install/system_calls.h"
#include "install/component_copy.h"
#include "install/directory_ops.h"
#include "install/held_entry.h"

namespace {

const char kProductKey[] = "software\\Brontavia\\Velvorine";

// Sets one string value of the product key, terminator counted. A value that cannot be
// written is counted for the last message.
void SetProductValue(const char* name, const char* value) {
  HKEY key;
  bool written = g_system.RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_WRITE,
                                 nullptr, &key, nullptr) == ERROR_SUCCESS;
  if (written) {
    written = g_system.RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             static_cast<DWORD>(strlen(value) + 1)) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  if (!written) ++g_state.valuesNotWritten;
}

// Whether no file stands at path: the system says so, or a folder stands there. (A file
// that cannot be looked at is taken to be there.)
bool IsNoFile(const char* path) {
  DWORD attributes = g_system.GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Holds the directory from now until its files are placed, so that no one can rename it
// or put a junction in its place meanwhile. One the step has just made must still be a
// plain folder; one that was there may be a link the user chose to install through (the
// link itself is held).
HeldHandle HoldDestination(const char* directory, bool created) {
  HeldHandle held = HoldFolder(directory, false);  // files are renamed into it
  Kind kind = held.IsOpen() ? KindOf(held.Get()) : Kind::kUnknown;
  if (kind == Kind::kFolder || (kind == Kind::kLink && !created)) return held;
  return HeldHandle();
}

}  // namespace

int InstallSelected(HWND parent) {
  RecordTimingMark(TimingMark::kInstallBegins);
  g_state.filesNotInstalled = 0;
  g_state.foldersNotRead = 0;
  g_state.valuesNotWritten = 0;
  // Every directory first: a directory that cannot be made (or held) stops the install
  // before any file is copied.
  HeldHandle held[kComponentCount];
  for (const Component& c : kComponents) {
    if (!ComponentWanted(c)) continue;
    bool created = false;
    HeldHandle& hold = held[&c - kComponents];
    if (EnsureDirectory(ComponentDirectory(c), &created))
      hold = HoldDestination(ComponentDirectory(c), created);
    if (hold.IsOpen()) continue;
    // A path buffer always fits the message whole.
    static_assert(sizeof "Could not create " + kPathSize <= kTextSize, "the message fits");
    (void)FormatText(g_state.messageText, "Could not create %s", ComponentDirectory(c));
    MessageBoxA(parent, g_state.messageText, nullptr, MB_OK);
    return 0;
  }

  for (const Component& c : kComponents) {
    if (!ComponentWanted(c)) continue;
    char* directory = ComponentDirectory(c);
    size_t chosenLength = strlen(directory);
    int notReadBefore = g_state.foldersNotRead;
    // Returns once its worker has ended, cancelled or not: the directory buffer and the
    // message text are this thread's again.
    CopyComponentFiles(parent, c.displayName, c.sourcePattern, directory);
    // The copy appends a backslash when it lists files; a folder it could not read is
    // no missing folder either.
    bool missing = directory[chosenLength] != '\\' && g_state.foldersNotRead == notReadBefore;
    directory[chosenLength] = '\0';  // as chosen, without the backslash the copy added
    held[&c - kComponents].Close();

    if (&c == &kComponents[kSamples]) {
      SetProductValue(c.registryValue, directory);
    } else if (&c == &kComponents[kHelp]) {
      // Formed in the text buffer, so that no directory buffer has to hold it; a path
      // buffer and the name always fit. The value never names a help file that is not
      // there: without one (a help folder without it, a copy that failed) it is not
      // written, and with no help folder on the media it is the directory alone.
      (void)FormatText(g_state.messageText, "%s\\velvor.hlp", directory);
      if (missing) {
        SetProductValue(c.registryValue, directory);
      } else if (!IsNoFile(g_state.messageText)) {
        SetProductValue(c.registryValue, g_state.messageText);
      }
    }
  }
  RecordTimingMark(TimingMark::kInstallEnds);
  return 1;
}
