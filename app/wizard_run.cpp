#include <windows.h>

#include "app/wizard_run.h"

namespace {

HHOOK s_quitHook = nullptr;
bool s_inProgress = false;  // user-interface thread only

LRESULT CALLBACK SwallowQuitProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (msg->message == WM_QUIT) msg->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

WizardRun::WizardRun() {
  s_inProgress = true;
  s_quitHook = SetWindowsHookExA(WH_GETMESSAGE, SwallowQuitProc, nullptr, GetCurrentThreadId());
}

WizardRun::~WizardRun() {
  if (s_quitHook) UnhookWindowsHookEx(s_quitHook);
  s_quitHook = nullptr;
  s_inProgress = false;
}

bool WizardRun::InProgress() { return s_inProgress; }
