#include "app/installer_state.h"

#include "resources/resource.h"

#include <new>

InstallerState g_state;

void ResetInstallerState() {
  // The record holds atomics, so it cannot be assigned; build it afresh in place.
  g_state.~InstallerState();
  new (&g_state) InstallerState();
}

const Component kComponents[kComponentCount] = {
    {&InstallerState::wantPlugin, &InstallerState::pluginDir, "Velvorine Plugin",
     "velvor.8bf", "plugin\\*.*", IDC_PLUGIN, nullptr},
    {&InstallerState::wantSamples, &InstallerState::samplesDir, "Sample Files",
     "canyon.jpg", "samples\\*.*", IDC_SAMPLES, "ParamDirectory"},
    {&InstallerState::wantHelp, &InstallerState::helpDir, "On-line Help Files",
     "velvor.hlp", "help\\*.*", IDC_HELPFILES, "HelpFile"},
};
