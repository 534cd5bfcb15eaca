// One component's copy as a session: the record that CopyComponentFiles owns while the
// copy runs and hands to the progress dialog (the dialog's parameter, kept as its
// DWLP_USER) and to the worker (the thread's parameter), and what those two say to each
// other.
#pragma once

#include <windows.h>

#include <atomic>

#include "install/file_placement.h"

struct CopySession {
  // Whether a file of the source folder was read-only when listed; set before the worker
  // starts.
  bool sourceMayBeReadOnly = true;
  // The worker thread; only the user-interface thread touches it.
  HANDLE worker = nullptr;
  // The newest file's name (its place in the list): the worker writes it, the dialog reads
  // it on its timer.
  std::atomic<const char*> newestName{nullptr};
  // The name on the dialog's first line; the user-interface thread's.
  const char* shownName = nullptr;
};

// Sent by the worker to the progress dialog, which asks the user and answers with the
// button pressed. lParam: the Question.
constexpr UINT kAskAboutFailure = WM_APP + 1;
// Sent by the worker to the progress dialog when the list has ended. Sent, not posted: a
// sent message is not queued behind posted ones nor counted against their limit (10,000
// by default), so the end cannot be lost; the send fails only when the dialog has gone.
constexpr UINT kCopyEnded = WM_APP + 3;

struct Question {
  const char* name;
  Failure failure;
};

// The progress dialog IDD_COPYING, given the session as its parameter: shows its first
// texts and starts the worker; Cancel or the worker's word that the list has ended end it.
// It also asks the worker's questions.
INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The worker, given the session: installs the listed files one by one, offering each name
// to the dialog, until the list ends or the dialog has been closed. It owns the
// component's placement. Its exit code is the number of files installed.
DWORD WINAPI CopyWorker(LPVOID session);
