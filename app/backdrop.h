// The main window's backdrop.
#pragma once

#include <windows.h>

void PaintBackdrop(HWND window);
