// The install step: directories, copies and registry values.
#pragma once

#include <windows.h>

// Makes every chosen directory, copies the chosen components and records their registry
// values. 1 on success, 0 when a directory cannot be made (already reported).
int InstallSelected(HWND parent);
