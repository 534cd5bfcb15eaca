// The directory page and its Browse dialog.
#pragma once

#include <windows.h>

// Shows the page for directory (a directory buffer of the state); a PageResult.
int ShowDirectoryPage(HWND parent, char* directory, const char* displayName,
                      const char* markerFile);
INT_PTR CALLBACK DirectoryPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Hook of the Browse dialog: centres it and keeps the focus off its edit boxes. Always 0,
// so that the file dialog does its own handling too.
UINT_PTR CALLBACK BrowseHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
