#include "wizard/wizard.h"

#include "app/installer_state.h"
#include "app/path_text.h"
#include "app/wizard_run.h"
#include "install/install_sequence.h"
#include "resources/resource.h"
#include "wizard/component_page.h"
#include "wizard/default_dirs.h"
#include "wizard/directory_page.h"
#include "wizard/page_result.h"

const char kCompletedText[] = "The installation has completed successfully.";
const char kWizardTitle[] = "Velvorine Install";

int StepAfterPage(int step, int pageResult) {
  if (step == kStepComponents) return pageResult != 0 ? kStepPluginDir : kStepConfirmCancel;
  switch (pageResult) {
    case kPageNext: return step + 1;
    case kPageBack: return step - 1;
    default: return kStepConfirmCancel;  // Cancel, or a page that could not be shown
  }
}

int StepPassedOver(int step, int previous) {
  // Keep moving the way the user came: backward when arriving from a later step.
  return previous > step ? step - 1 : step + 1;
}

bool CompletionText(char (&text)[kTextSize], int filesNotInstalled, int valuesNotWritten,
                    int foldersNotRead) {
  const char kRegistryText[] =
      "The installation has completed, but the plug-in's settings could not be recorded in "
      "the registry.";
  // Two short sentences always fit the text buffer whole.
  text[0] = '\0';
  if (foldersNotRead > 0) {
    (void)TextCopy(text, "The installation has completed, but some files were not installed.");
  } else if (filesNotInstalled == 1) {
    (void)TextCopy(text, "The installation has completed, but 1 file was not installed.");
  } else if (filesNotInstalled > 1) {
    (void)FormatNumber(text, kTextSize,
                       "The installation has completed, but %s files were not installed.",
                       static_cast<unsigned long>(filesNotInstalled));
  }
  if (valuesNotWritten > 0) {
    if (text[0] != '\0') (void)TextAppend(text, "\n");
    (void)TextAppend(text, kRegistryText);
  }
  if (text[0] != '\0') return false;
  (void)TextCopy(text, kCompletedText);
  return true;
}

namespace {

INT_PTR RunComponentPage(HWND parent) {
  return DialogBoxParamA(g_state.instance, MAKEINTRESOURCEA(IDD_COMPONENTS), parent,
                         ComponentPageProc, 0);
}

void ShowCompleted(HWND parent) {
  bool whole = CompletionText(g_state.messageText, g_state.filesNotInstalled,
                              g_state.valuesNotWritten, g_state.foldersNotRead);
  MessageBoxA(parent, g_state.messageText, kWizardTitle, whole ? MB_OK : MB_ICONWARNING | MB_OK);
}

int ConfirmCancel(HWND parent) {
  LoadStringA(g_state.instance, IDS_CONFIRMCANCEL, g_state.messageText, kTextSize);
  LoadStringA(g_state.instance, IDS_APPTITLE, g_state.formatText, kTextSize);
  return MessageBoxA(parent, g_state.messageText, g_state.formatText,
                     MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

}  // namespace

const WizardOps kRealWizardOps = {
    RunComponentPage, ShowDirectoryPage, FindPluginFolder, DefaultSamplesFolder,
    InstallSelected,  ShowCompleted,     ConfirmCancel,
};

void RunWizardWith(HWND parent, const WizardOps& ops) {
  int step = kStepComponents;
  int previous = kStepEnd;
  while (step != kStepEnd) {
    int next = kStepEnd;
    switch (step) {
      case kStepComponents:
        next = StepAfterPage(step, ops.componentPage(parent) != 0 ? kPageNext : kPageCancel);
        break;
      case kStepPluginDir:
      case kStepSamplesDir:
      case kStepHelpDir: {
        const Component& c = kComponents[step - kStepPluginDir];
        if (!ComponentWanted(c)) {
          next = StepPassedOver(step, previous);
          break;
        }
        if (step == kStepPluginDir) {
          ops.findPluginFolder();
        } else if (step == kStepSamplesDir) {
          ops.defaultSamplesFolder();
        } else if (g_state.helpDir[0] == '\0') {
          // The help files go beside the plug-in unless the user chose otherwise.
          ops.findPluginFolder();
          // Buffers of one size, so it fits (a failure would leave no default, not a cut).
          (void)TextCopy(g_state.helpDir, g_state.pluginDir);
        }
        next = StepAfterPage(
            step, ops.directoryPage(parent, ComponentDirectory(c), c.displayName, c.markerFile));
        break;
      }
      case kStepInstall:
        next = ops.install(parent) ? kStepComplete : kStepEnd;
        break;
      case kStepComplete:
        ops.showCompleted(parent);
        next = kStepEnd;
        break;
      case kStepConfirmCancel:
        next = ops.confirmCancel(parent) ? kStepEnd : previous;
        break;
      default:
        next = kStepEnd;
        break;
    }
    // The confirmation is not a page: No must return to the page that was left.
    if (step != kStepConfirmCancel) previous = step;
    step = next;
  }
}

void RunWizard(HWND parent) {
  WizardRun run;  // close and quit requests wait until the wizard is done
  RunWizardWith(parent, kRealWizardOps);
}
