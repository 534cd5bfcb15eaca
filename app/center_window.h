// Centring of top-level windows.
#pragma once

#include <windows.h>

// Centres a top-level window on the screen; every dialog calls it on WM_INITDIALOG.
void CenterWindow(HWND window);
