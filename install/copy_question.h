// What the user is told when something of a component cannot be installed.
#pragma once

#include <windows.h>

#include "install/file_placement.h"

// Names the entry (written at the two name slots) that could not be installed, in a
// message box owned by the progress dialog, with the reason and Abort, Retry and Ignore;
// Retry is the default only where it may help. IDABORT, IDRETRY or IDIGNORE. Shown by the
// user-interface thread, while the worker waits for the answer.
int AskAboutFailure(HWND dialog, const char* name, const Failure& failure);

// Tells the user that the source folder (the pattern at the setup program's folder) could
// not be read, and why; nothing of it is installed.
void ReportUnreadableFolder(HWND parent, DWORD error);
