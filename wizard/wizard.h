// The wizard: its step loop, pages and default directories.
#pragma once

#include <windows.h>

#include "app/installer_state.h"

// Step numbers of the wizard's loop.
enum WizardStep {
  kStepEnd = 0,
  kStepComponents = 1,
  kStepPluginDir = 2,
  kStepSamplesDir = 3,
  kStepHelpDir = 4,
  kStepInstall = 5,
  kStepComplete = 6,
  kStepConfirmCancel = 99,
};

extern const char kCompletedText[];  // "The installation has completed successfully."
extern const char kWizardTitle[];    // "Velvorine Install"

void RunWizard(HWND parent);

// The last message of an install into text: kCompletedText when every file arrived and
// every value was written (returns true), else what did not (returns false). A folder
// that could not be read leaves the number of files unknown.
[[nodiscard]] bool CompletionText(char (&text)[kTextSize], int filesNotInstalled,
                                  int valuesNotWritten, int foldersNotRead = 0);

// What the step loop calls. RunWizard uses the real pages; tests drive the loop with
// scripted ones.
struct WizardOps {
  INT_PTR (*componentPage)(HWND parent);  // 0 Cancel, nonzero Next
  int (*directoryPage)(HWND parent, char* directory, const char* displayName,
                       const char* markerFile);  // a PageResult
  void (*findPluginFolder)();
  void (*defaultSamplesFolder)();
  int (*install)(HWND parent);        // nonzero on success
  void (*showCompleted)(HWND parent);
  int (*confirmCancel)(HWND parent);  // nonzero when the user answers Yes
};
extern const WizardOps kRealWizardOps;
void RunWizardWith(HWND parent, const WizardOps& ops);

// Pure step rules of the loop.
// The step that follows a page step (1 to 4) when the page ended with pageResult.
int StepAfterPage(int step, int pageResult);
// The step that follows a directory step (2 to 4) whose component was not chosen.
int StepPassedOver(int step, int previous);
