// Default directories; each does nothing while its buffer holds a directory.
#pragma once

void FindPluginFolder();
void DefaultSamplesFolder();
// The samples rule for a Windows directory already in messageText (the second half of
// DefaultSamplesFolder; tests give it Windows directories the machine does not have).
void SamplesFolderFromWindowsDir();
