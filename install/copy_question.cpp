#include <string.h>

#include "install/copy_question.h"

#include "app/code_page.h"
#include "app/installer_state.h"
#include "app/path_text.h"
#include "app/system_text.h"

namespace {

const char kBoxTitle[] = "Velvorine Install";

// Short words and three path-sized strings always fit the text buffer whole.
static_assert(3 * kPathSize + 200 <= kTextSize, "a question fits the text buffer");

// The destination directory as chosen (without the backslash that the copy appended),
// then a backslash and name: the full path even when it does not fit a path buffer.
void AppendDestination(char (&text)[kTextSize], const char* name) {
  char* cut = g_state.destNameSlot - 1;  // the appended backslash, or the terminator
  char kept = *cut;
  *cut = '\0';
  (void)TextAppend(text, g_state.destPath);
  *cut = kept;
  (void)TextAppend(text, "\\");
  (void)TextAppend(text, name);
}

const char* ReasonText(Reason reason) {
  switch (reason) {
    case Reason::kIsFolder:
      return " is a folder; folders are not installed.";
    case Reason::kFolderInTheWay:
      return "A folder of that name is in the way. Move or rename it, then click Retry.";
    case Reason::kPathTooLong:
      return "Its full path is longer than the 259 characters that a path may have.";
    case Reason::kSourceTooLong:
      return "Its path on the installation media is longer than the 259 characters that a "
             "path may have.";
    case Reason::kNoRoomForCopy:
      return "The folder's path is too long: setup needs room in it for a temporary copy "
             "of each file. Install into a folder with a shorter path.";
    case Reason::kInUse:
      return "The file is in use by another program. Close that program, then click Retry.";
    case Reason::kSourceInUse:
      return " is in use by another program. Close that program, then click Retry.";
    default:
      return "";
  }
}

}  // namespace

int AskAboutFailure(HWND dialog, const char* name, const Failure& failure) {
  char (&text)[kTextSize] = g_state.messageText;
  (void)TextCopy(text, "Could not install ");
  AppendDestination(text, name);
  (void)TextAppend(text, "\n\n");
  if (failure.reason == Reason::kSystem) {
    AppendSystemText(text, failure.error);
  } else if (failure.reason == Reason::kMediaNotRead) {
    (void)TextAppend(text, "The installation media cannot be read: ");
    (void)TextAppend(text, g_state.moduleDir);  // the file on the media, at its slot
    (void)TextAppend(text, "\n\n");
    AppendSystemText(text, failure.error);
    (void)TextAppend(text, "\n\nPut the media back (the disc, drive or network folder that "
                           "setup was started from), then click Retry.");
  } else {
    // These two name the file on the media, its name at its slot.
    if (failure.reason == Reason::kIsFolder || failure.reason == Reason::kSourceInUse)
      (void)TextAppend(text, g_state.moduleDir);
    (void)TextAppend(text, ReasonText(failure.reason));
  }
  UINT defaultButton = RetryMayHelp(failure.reason) ? MB_DEFBUTTON2 : MB_DEFBUTTON3;
  int answer = MessageBoxA(dialog, text, kBoxTitle,
                           MB_ABORTRETRYIGNORE | MB_ICONWARNING | defaultButton);
  return answer == IDRETRY || answer == IDABORT ? answer : IDIGNORE;
}

void ReportUnreadableFolder(HWND parent, DWORD error) {
  char (&text)[kTextSize] = g_state.messageText;
  (void)TextCopy(text, "Could not read the folder ");
  // The folder: the setup program's folder with the pattern cut off.
  char folder[kPathSize];
  if (TextCopy(folder, g_state.moduleDir)) CutAtLastBackslash(folder, AnsiLeadBytes());
  (void)TextAppend(text, folder);
  (void)TextAppend(text, " on the installation media.\n\n");
  AppendSystemText(text, error);
  (void)TextAppend(text,
                   "\n\nNone of its files were installed. Check the installation media, "
                   "then run setup again.");
  MessageBoxA(parent, text, kBoxTitle, MB_OK | MB_ICONWARNING);
}
