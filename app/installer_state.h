// The installer's whole state: one process-wide record and the component table.
#pragma once

#include <windows.h>

#include <atomic>

#include "app/path_text.h"  // kPathSize

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
  // Shared with the copy worker, each safe for its own reason:
  // - fileList and copyDialog are atomic words, which both threads read while the worker
  //   runs: the user-interface thread clears copyDialog when the dialog ends (the
  //   worker's stop signal) and fileList once the worker has ended.
  // - sourceNameSlot, destPath and destNameSlot are plain pointers, set before the dialog
  //   starts the worker and not changed until it has ended; thread start and end order
  //   those writes. Only the worker writes behind the slots (moduleDir, the directory)
  //   meanwhile.
  // - messageText is the user-interface thread's alone: the worker never touches it (the
  //   questions it asks are formatted there by that thread while the worker waits).
  std::atomic<char*> fileList{nullptr};
  char* sourceNameSlot = nullptr;
  char* destPath = nullptr;
  char* destNameSlot = nullptr;
  std::atomic<HWND> copyDialog{nullptr};
  // What did not arrive in this install, for the last message: listed files passed over,
  // failed or left behind by a Cancel, source folders that could not be read, and
  // registry values that could not be written.
  // The user-interface thread's alone (counted once the worker has ended).
  int filesNotInstalled = 0;
  int foldersNotRead = 0;  // source folders whose files could not be listed, nor counted
  int valuesNotWritten = 0;
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
