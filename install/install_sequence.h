// The install step: directories, copies and registry values.
#pragma once

#include <windows.h>

// Makes every chosen directory, copies the chosen components and records their registry
// values. 1 on success, 0 when a directory cannot be made (already reported). Files that
// did not arrive and values that could not be written are counted in g_state for the
// last message.
int InstallSelected(HWND parent);
