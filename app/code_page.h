// The lead bytes of the system's ANSI code page, which every path helper is given.
#pragma once

#include "app/path_text.h"

// Read from the system once, on first use (from the user-interface thread).
const LeadBytes& AnsiLeadBytes();
