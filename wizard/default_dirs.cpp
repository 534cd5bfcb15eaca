#include "wizard.h"

// UNFINISHED: no default is proposed yet; the buffers are left as they are.
void FindPluginFolder() {}
void DefaultSamplesFolder() {}
