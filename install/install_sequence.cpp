#include <string.h>

#include "install/install_sequence.h"

#include "app/installer_state.h"
#include "app/path_text.h"
#include "install/component_copy.h"
#include "install/directory_ops.h"

namespace {

const char kProductKey[] = "software\\Brontavia\\Velvorine";

// Sets one string value of the product key, terminator counted. A key that cannot be
// opened or created is passed over without a word.
void SetProductValue(const char* name, const char* value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>(strlen(value) + 1));
  RegCloseKey(key);
}

}  // namespace

int InstallSelected(HWND parent) {
  // Every directory first: a directory that cannot be made stops the install before any
  // file is copied.
  for (const Component& c : kComponents) {
    if (!ComponentWanted(c) || EnsureDirectory(ComponentDirectory(c))) continue;
    // A path buffer always fits the message whole.
    static_assert(sizeof "Could not create " + kPathSize <= kTextSize, "the message fits");
    static_cast<void>(
        FormatText(g_state.messageText, "Could not create %s", ComponentDirectory(c)));
    MessageBoxA(parent, g_state.messageText, nullptr, MB_OK);
    return 0;
  }

  for (const Component& c : kComponents) {
    if (!ComponentWanted(c)) continue;
    char* directory = ComponentDirectory(c);
    size_t chosenLength = strlen(directory);
    // Returns once its worker has ended, cancelled or not: the directory buffer and the
    // message text are this thread's again.
    CopyComponentFiles(parent, c.displayName, c.sourcePattern, directory);
    directory[chosenLength] = '\0';  // as chosen, without the backslash the copy added

    if (&c == &kComponents[kSamples]) {
      SetProductValue(c.registryValue, directory);
    } else if (&c == &kComponents[kHelp]) {
      // Formed in the text buffer, so that no directory buffer has to hold it.
      if (FormatText(g_state.messageText, "%s\\velvor.hlp", directory))
        SetProductValue(c.registryValue, g_state.messageText);
    }
  }
  return 1;
}
