// A GUI program built to fail the image check: no ASLR, no DEP, no manifest, no version
// information, no icon, and an import (shell32) that the setup program must not have.
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ShellExecuteA(nullptr, "open", "nothing", nullptr, nullptr, SW_SHOW);
  return 0;
}
