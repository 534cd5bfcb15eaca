// Entry, main window and its window procedure.
#pragma once

#include <windows.h>

extern const char kMainClassName[];   // "VelvorWClass"
extern const char kMainWindowTitle[];  // "Velvorine Install"

int InitApplication(HINSTANCE instance);
int InitInstance(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Records the module's directory, with its trailing backslash, in moduleDir and points
// moduleNameSlot just behind it.
void CaptureModuleDirectory(HINSTANCE instance);
