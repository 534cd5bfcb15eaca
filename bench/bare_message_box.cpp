// The yardstick for start-up: a bare Win32 program that shows one message box.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr, "Bare program", "Bare", MB_OK);
  return 0;
}
