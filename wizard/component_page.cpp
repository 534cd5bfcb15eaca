#include "wizard/component_page.h"

#include "app/center_window.h"
#include "app/installer_state.h"

namespace {

void StoreBoxes(HWND dialog) {
  for (const Component& c : kComponents)
    ComponentWanted(c) = IsDlgButtonChecked(dialog, c.checkBox) == BST_CHECKED;
}

}  // namespace

INT_PTR CALLBACK ComponentPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterWindow(dialog);
      for (const Component& c : kComponents)
        CheckDlgButton(dialog, c.checkBox, ComponentWanted(c) ? BST_CHECKED : BST_UNCHECKED);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          StoreBoxes(dialog);
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          // Stored on Cancel too, so that No in the confirmation shows the same boxes.
          StoreBoxes(dialog);
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}
