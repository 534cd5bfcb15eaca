// The component page: three check boxes for the three components.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ComponentPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
