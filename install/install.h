// The installation engine: directory operations, the installation sequence and the copy
// of one component's files.
#pragma once

#include <windows.h>

// Makes every chosen directory, copies the chosen components and records their registry
// values. 1 on success, 0 when a directory cannot be made (already reported).
int InstallSelected(HWND parent);

// --- Directory operations (user-interface thread only) ---------------------------------

// 1 when path names a directory that can be made the current directory. The process's
// current directory is the same afterwards.
int DirectoryExists(const char* path);
// Creates path with its missing parents; nonzero when the directory exists at the end.
int CreateDirectoryTree(const char* path);
// Nonzero when path exists as a directory, creating it if needed.
int EnsureDirectory(const char* path);

// --- Component copy ----------------------------------------------------------------------

// Bytes the file list starts with; it grows when a folder's names need more.
constexpr size_t kFileListStart = 8000;

// Lists every entry of the source folder that sourcePattern names behind the setup
// program's folder (written at moduleNameSlot): a heap block (process heap) of names, each
// terminated, ended by an empty name. nullptr when there is nothing to copy: no such
// folder, a pattern that does not fit the path buffer, or a list that the heap cannot
// hold (a folder is copied whole or not at all).
char* ListSourceFolder(const char* sourcePattern);
// Copies every entry of the source folder named by sourcePattern (relative to the setup
// program's folder, e.g. "plugin\*.*") into directory, a directory buffer of the state,
// behind the progress dialog. Returns 1, after the worker thread has ended. When files
// were listed, directory is left with one backslash appended.
int CopyComponentFiles(HWND parent, const char* displayName, const char* sourcePattern,
                       char* directory);
// The progress dialog IDD_COPYING: starts the worker; Cancel or the worker's IDOK end it.
INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The worker: copies the listed files one by one, naming each on the dialog, until the
// list ends or the dialog has been closed.
DWORD WINAPI CopyWorker(LPVOID unused);
