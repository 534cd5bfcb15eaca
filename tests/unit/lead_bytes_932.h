// Code page 932's lead bytes (Japanese), for the path helpers' unit tests and fuzz target:
// many of its characters end in 0x5C, the byte of the backslash.
#pragma once

#include "app/path_text.h"

inline LeadBytes LeadBytes932() {
  LeadBytes t = kSingleByte;
  for (int b = 0x81; b <= 0x9F; ++b) t.lead[b] = true;
  for (int b = 0xE0; b <= 0xFC; ++b) t.lead[b] = true;
  return t;
}
