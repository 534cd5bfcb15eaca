// Drives the real setup.exe through its windows, by class, title and control id.
// Every wait has a timeout; a wait that runs out records a test failure that says what
// was awaited, and the program is killed when its SetupProcess object goes away.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// ms: a deadline, never a pause. Long enough for a run under Wine's heap checking with
// another suite on the same two cores; a hang still fails well within ctest's timeout.
constexpr DWORD kWait = 30000;

// --- Files and folders -------------------------------------------------------------
std::string WindowsPath(const std::string& path);  // a Unix path becomes Z:\...
std::string SetupExe();                            // the built program under test
void SetSetupExe(const std::string& path);

// A scratch folder of the current test, C:\velvor-e2e\<suite>.<test>\, made empty.
std::string ScratchDir();
bool MakeDirs(const std::string& dir);
void RemoveTree(const std::string& dir);
bool WriteFileText(const std::string& path, const std::string& text);
std::string ReadFileText(const std::string& path);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Names of the plain files in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& dir);
// Every entry of a folder ("." and ".." too) in the order a folder search yields them.
std::vector<std::string> SearchOrder(const std::string& dir);
// A file of this many bytes of a repeating pattern; its size, or -1 when it is missing.
bool WriteFileOfSize(const std::string& path, long long bytes);
long long FileSize(const std::string& path);
// Both files exist and hold the same bytes (compared a block at a time).
bool SameContents(const std::string& a, const std::string& b);

// Every folder below dir, as paths relative to it, sorted.
std::vector<std::string> FoldersBelow(const std::string& dir);

// --- Code pages ------------------------------------------------------------------------
// UTF-8 text, as a test's source spells it, in this process's ANSI code page; "" when the
// code page has no form for it.
std::string Ansi(const std::string& utf8);
// Whether the process runs in the ANSI code page that ctest asked for (VELVOR_CODE_PAGE);
// under Wine it follows LANG, and falls back to 1252 when that locale is missing.
testing::AssertionResult InCodePageAskedFor();
// Whether s ends in a backslash character (not the second byte of a double-byte one).
bool EndsInBackslash(const std::string& s);

// Installation media: setup.exe beside plugin\, samples\ and help\ holding the given
// files. A component listed with no files gets an empty folder; one left out gets none.
struct MediaFile {
  std::string folder, name, text;
};
std::vector<MediaFile> DefaultPayload();
std::string MakeMedia(const std::string& dir, const std::vector<MediaFile>& files);

// --- Registry ------------------------------------------------------------------------
constexpr char kProductKey[] = "software\\Brontavia\\Velvorine";
void DeleteProductKey();
bool ProductKeyExists();
// The string value of the product key, or false when it is missing.
bool ReadProductValue(const char* name, std::string* value);
// Registers an image editor version (3 or 4) with this open command; "" removes it.
void SetEditorCommand(int version, const std::string& command);

// The screen DPI of programs started from now on: LogPixels in HKCU\Control Panel\Desktop,
// which Wine reads as each process starts (a running desktop needs no restart).
constexpr DWORD kDefaultDpi = 96;
bool SetScreenDpi(DWORD dpi);
// Sets a screen DPI for its lifetime, and 96 again after, so that other suites see the
// default.
class ScopedScreenDpi {
 public:
  explicit ScopedScreenDpi(DWORD dpi);
  ~ScopedScreenDpi();
  ScopedScreenDpi(const ScopedScreenDpi&) = delete;
  ScopedScreenDpi& operator=(const ScopedScreenDpi&) = delete;
};

// --- Windows ---------------------------------------------------------------------------
std::string TextOf(HWND window);
std::string ClassOf(HWND window);
std::string ItemText(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
void SetItemText(HWND dialog, int id, const std::string& text);
int DefaultButton(HWND dialog);  // id of the default push button, or 0
// Posts a click of a button (as its BN_CLICKED notification) to its dialog.
void Click(HWND dialog, int id);
// The text of a message box (its static text that is not empty).
std::string MessageText(HWND box);
// Ids of a dialog's buttons, in creation order.
std::vector<int> ButtonIds(HWND dialog);

// The entries of a list box, in order.
std::vector<std::string> ListItems(HWND dialog, int id);

// --- The platform's older file dialog (Browse) ---------------------------------------------
constexpr int kFileNameBox = 0x480;    // edt1: the file name
constexpr int kShownFolder = 0x440;    // stc1: the folder the dialog is in
constexpr int kDirectoryList = 0x461;  // lst2: "[..]" and "[name]" of each subfolder
// Opens an entry of the directory list (matched without regard to case) as a double-click
// does, and so moves the dialog to that folder; false when there is no such entry.
bool OpenDirectoryEntry(HWND fileDialog, const std::string& entry);

// The whole screen's pixels, top row first, each 0x00RRGGBB.
bool CaptureScreen(std::vector<DWORD>* pixels, int* width, int* height);
// Saves the whole screen as a 32-bit BMP.
bool SaveScreenshot(const std::string& path);

// Paths as Windows compares them: lower case, and without a trailing backslash (a drive
// root keeps its own). Both go by characters of the ANSI code page.
std::string Lower(std::string s);
std::string WithoutSlash(std::string s);

// The program under test, started in its media folder.
class SetupProcess {
 public:
  explicit SetupProcess(const std::string& mediaDir);
  ~SetupProcess();
  SetupProcess(const SetupProcess&) = delete;
  SetupProcess& operator=(const SetupProcess&) = delete;

  bool running() const;
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_; }

  // A visible top-level window of the program with this class and title that has a child
  // with controlId (0: any); nullptr (and a failure) when none comes within ms.
  HWND Await(const char* cls, const char* title, int controlId = 0, DWORD ms = kWait);
  HWND AwaitComponentPage(DWORD ms = kWait);
  // The directory page whose prompt names this component.
  HWND AwaitDirectoryPage(const char* displayName, DWORD ms = kWait);
  HWND AwaitCopyDialog(DWORD ms = kWait);
  // The Browse dialog that this page opened: the older file dialog titled
  // "Select Directory", with its directory list, owned by the page.
  HWND AwaitBrowseDialog(HWND page, DWORD ms = kWait);
  // A message box (a dialog with none of the program's own controls) with this title.
  HWND AwaitMessageBox(const char* title, DWORD ms = kWait);
  // Is there such a window now?
  HWND Find(const char* cls, const char* title, int controlId = 0) const;
  HWND MainWindow() const;

  // Waits until a control of the dialog shows this text; polls every millisecond, so that
  // a text that stands only briefly is seen.
  bool AwaitItemText(HWND dialog, int id, const std::string& text, DWORD ms = kWait);
  // Waits until the window is closed or hidden.
  bool AwaitGone(HWND window, DWORD ms = kWait);
  // Clicks a button and waits until its dialog has gone.
  bool Press(HWND dialog, int id, DWORD ms = kWait);
  // Waits for the program to end; its exit code, or a failure when it does not end.
  bool AwaitExit(DWORD* exitCode, DWORD ms = kWait);
  // The program's error mode, read from inside it: a thread started there runs
  // SetErrorMode(mode), whose result is the mode it had (and then has mode); ~0u when no
  // such thread ran.
  UINT ExchangeErrorMode(UINT mode);

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// The ids of a process's threads.
std::set<DWORD> ThreadsOf(DWORD pid);
// The threads that a process started since `before` was taken, suspended while this
// lives: the copy's worker, held in the middle of a file however fast it copies, so that
// what the test does meanwhile happens during that file under any load.
class NewThreadsHeld {
 public:
  NewThreadsHeld(DWORD pid, const std::set<DWORD>& before);
  ~NewThreadsHeld();
  NewThreadsHeld(const NewThreadsHeld&) = delete;
  NewThreadsHeld& operator=(const NewThreadsHeld&) = delete;
  size_t count() const { return held_.size(); }

 private:
  std::vector<HANDLE> held_;
};
// Whether a file of at least `bytes` other than dir\name is anywhere below dir: the
// copy of a large file to dir\name under way, at its temporary name.
bool CopyUnderWay(const std::string& dir, const std::string& name, long long bytes);

// The program ends with exit code 0.
void ExpectExitZero(SetupProcess& setup);
// The end of a run: the completion message answered, then the program's exit with 0.
void ExpectCompletedAndExit(SetupProcess& setup);
// Cancel on a page, Yes to the confirmation, then the program's exit with 0.
void ExpectCancelledAndExit(SetupProcess& setup, HWND page);

}  // namespace e2e
