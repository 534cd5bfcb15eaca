#include <string.h>

#include "app/system_text.h"

#include "app/path_text.h"

void AppendSystemText(char (&text)[kTextSize], DWORD error) {
  size_t used = strlen(text);
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, text + used,
                                static_cast<DWORD>(kTextSize - used), nullptr);
  TextTerminate(text, kTextSize);
  if (length == 0) (void)FormatNumber(text + used, kTextSize - used, "System error %s.", error);
  for (size_t end = strlen(text); end > used && strchr(" \r\n", text[end - 1]); --end)
    text[end - 1] = '\0';
}
