#include "app/source_folder.h"

#include "app/code_page.h"
#include "app/path_text.h"

const FolderSearchCalls kSystemFolderSearch = {::FindFirstFileA, ::FindNextFileA,
                                               ::GetFileAttributesA};

namespace {

bool IsNotThereError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// After a failed first search, whatever its code: what stands at the folder's name says
// whether the folder is there. A folder there without entries is empty; one there that the
// search could not enter is unreadable, with the search's reason.
FolderSearch JudgeFailedSearch(const char* pattern, DWORD error, const FolderSearchCalls& calls) {
  char folder[kPathSize];
  if (!TextCopy(folder, pattern)) return {FolderFound::kAbsent, 0};
  CutAtLastBackslash(folder, AnsiLeadBytes());
  DWORD attributes = calls.attributes(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD why = GetLastError();
    if (IsNotThereError(why)) return {FolderFound::kAbsent, 0};
    return {FolderFound::kUnreadable, IsNotThereError(error) ? why : error};
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {FolderFound::kAbsent, 0};
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
    return {FolderFound::kEmpty, 0};
  return {FolderFound::kUnreadable, error};
}

}  // namespace

FolderSearch SearchSourceFolder(const char* pattern, FolderEntryVisit visit, void* context,
                                const FolderSearchCalls& calls) {
  WIN32_FIND_DATAA found;
  HANDLE search = calls.findFirst(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return JudgeFailedSearch(pattern, GetLastError(), calls);
  FolderSearch result = {FolderFound::kEntries, ERROR_SUCCESS};
  for (;;) {
    found.cFileName[MAX_PATH - 1] = '\0';
    if (DWORD stop = visit(found, context); stop != ERROR_SUCCESS) {
      result = {FolderFound::kUnreadable, stop};
      break;
    }
    if (!calls.findNext(search, &found)) {
      DWORD error = GetLastError();
      if (error != ERROR_NO_MORE_FILES) result = {FolderFound::kUnreadable, error};
      break;
    }
  }
  FindClose(search);
  return result;
}
