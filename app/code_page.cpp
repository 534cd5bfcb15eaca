#include <windows.h>

#include "app/code_page.h"

namespace {

// Filled on first use. Only the user-interface thread asks (the copy worker is handed
// ready slots), so a plain flag will do: a function-local static would bring in the
// runtime's thread-safe initialisation guards, and with them its exception machinery,
// tripling the size of the program.
LeadBytes s_ansiLeadBytes;
bool s_ansiLeadBytesRead = false;

}  // namespace

const LeadBytes& AnsiLeadBytes() {
  if (!s_ansiLeadBytesRead) {
    for (int b = 0; b < 256; ++b)
      s_ansiLeadBytes.lead[b] = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(b)) != FALSE;
    s_ansiLeadBytesRead = true;
  }
  return s_ansiLeadBytes;
}
