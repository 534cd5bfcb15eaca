// Entry, main window and its window procedure.
#pragma once

#include <windows.h>

extern const char kMainClassName[];   // "VelvorWClass"
extern const char kMainWindowTitle[];  // "Velvorine Install"

int InitApplication(HINSTANCE instance);
int InitInstance(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
