// The copy of one component's files behind the progress dialog.
#pragma once

#include <windows.h>

// Copies every entry of the source folder named by sourcePattern (relative to the setup
// program's folder, e.g. "plugin\*.*") into directory, a directory buffer of the state,
// behind the progress dialog. An entry that cannot be installed is named to the user, who
// retries it, passes over it or stops the component; a folder that cannot be read is
// named too. Returns 1, after the worker thread has ended, with every file that did not
// arrive added to g_state.filesNotInstalled (a folder not read to g_state.foldersNotRead).
// When files were listed, directory is left with one backslash appended (when it fits).
int CopyComponentFiles(HWND parent, const char* displayName, const char* sourcePattern,
                       char* directory);
