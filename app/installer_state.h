// The installer's whole state: one process-wide record and the component table.
#pragma once

#include <windows.h>

#include <atomic>

constexpr size_t kPathSize = 260;   // the platform's MAX_PATH, terminator included
constexpr size_t kTextSize = 1024;  // formatted messages, loaded strings, registry values

struct InstallerState {
  HINSTANCE instance = nullptr;
  int wantPlugin = 1;
  int wantSamples = 1;
  int wantHelp = 1;
  char moduleDir[kPathSize] = {};
  char* moduleNameSlot = moduleDir;
  char pluginDir[kPathSize] = {};
  char samplesDir[kPathSize] = {};
  char helpDir[kPathSize] = {};
  char messageText[kTextSize] = {};
  char formatText[kTextSize] = {};
  char* pageDirectory = nullptr;
  const char* pageDisplayName = nullptr;
  const char* pageMarkerFile = nullptr;
  // Shared with the copy worker: single words, each read and written atomically.
  std::atomic<char*> fileList{nullptr};
  char* sourceNameSlot = nullptr;
  char* destPath = nullptr;
  char* destNameSlot = nullptr;
  std::atomic<HWND> copyDialog{nullptr};
  HBITMAP titleBitmap = nullptr;
  int titleBitmapWidth = 0;
  int titleBitmapHeight = 0;
};

extern InstallerState g_state;

// Puts every field back to its initial value (start of the process; tests).
void ResetInstallerState();

// One installable component. The order of kComponents is the order of the pages, the
// directory checks and the copies.
struct Component {
  int InstallerState::*flag;
  char (InstallerState::*directory)[kPathSize];
  const char* displayName;
  const char* markerFile;
  const char* sourcePattern;
  int checkBox;
  const char* registryValue;  // nullptr: the component records nothing
};

enum ComponentIndex { kPlugin = 0, kSamples = 1, kHelp = 2, kComponentCount = 3 };

extern const Component kComponents[kComponentCount];

inline int& ComponentWanted(const Component& c) { return g_state.*c.flag; }
inline char* ComponentDirectory(const Component& c) { return g_state.*c.directory; }
