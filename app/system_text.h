// The system's own words for an error code, as the program's messages quote them.
#pragma once

#include <windows.h>

#include "app/installer_state.h"  // kTextSize

// Appends the system's text for error to text, without the line break that ends it; a
// code the system has no text for is given as "System error N.". Never past the buffer.
void AppendSystemText(char (&text)[kTextSize], DWORD error);
