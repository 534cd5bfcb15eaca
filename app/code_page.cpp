#include <windows.h>

#include "app/code_page.h"

namespace {

LeadBytes ReadAnsiLeadBytes() {
  LeadBytes table = kSingleByte;
  for (int b = 0; b < 256; ++b)
    table.lead[b] = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(b)) != FALSE;
  return table;
}

}  // namespace

const LeadBytes& AnsiLeadBytes() {
  static const LeadBytes table = ReadAnsiLeadBytes();
  return table;
}
