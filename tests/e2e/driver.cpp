#include "tests/e2e/driver.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <stdlib.h>
#include <string.h>
#include <tlhelp32.h>

namespace e2e {

namespace {

std::string g_setupExe;

template <typename Pred>
bool PollUntil(DWORD ms, Pred done, DWORD interval = 10) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= ms) return false;
    Sleep(interval);
  }
}

// Positions of the backslash characters of s in the ANSI code page, where the second
// byte of a double-byte character may be 0x5C. Walked by the system's own CharNextA, not
// by the program's helpers that the tests check.
std::vector<size_t> Backslashes(const std::string& s) {
  std::vector<size_t> at;
  for (const char* p = s.c_str(); *p != '\0'; p = CharNextA(p))
    if (*p == '\\') at.push_back(static_cast<size_t>(p - s.c_str()));
  return at;
}

}  // namespace

bool EndsInBackslash(const std::string& s) {
  std::vector<size_t> at = Backslashes(s);
  return !at.empty() && at.back() + 1 == s.size();
}

std::string Ansi(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, nullptr, 0);
  if (n <= 0) return "";
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], n);
  BOOL lossy = FALSE;
  int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0,
                              nullptr, &lossy);
  if (m <= 0 || lossy) return "";
  std::string ansi(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &ansi[0], m, nullptr,
                      nullptr);
  ansi.resize(static_cast<size_t>(m) - 1);
  return ansi;
}

testing::AssertionResult InCodePageAskedFor() {
  const char* asked = getenv("VELVOR_CODE_PAGE");
  if (!asked) return testing::AssertionSuccess() << "no code page asked for";
  if (static_cast<UINT>(atoi(asked)) == GetACP())
    return testing::AssertionSuccess() << "code page " << GetACP();
  return testing::AssertionFailure()
         << "runs in ANSI code page " << GetACP() << ", not " << asked
         << " (is the locale in LANG installed? scripts/install-deps.sh makes ja_JP.UTF-8)";
}

// --- Files -----------------------------------------------------------------------------

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

void SetSetupExe(const std::string& path) { g_setupExe = WindowsPath(path); }
std::string SetupExe() { return g_setupExe; }

std::string ScratchDir() {
  const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
  std::string dir = "C:\\velvor-e2e\\";
  dir += t ? std::string(t->test_suite_name()) + "." + t->name() : "walkthrough";
  std::replace(dir.begin(), dir.end(), '/', '_');
  RemoveTree(dir);
  MakeDirs(dir);
  return dir + "\\";
}

bool MakeDirs(const std::string& dir) {
  if (dir.empty()) return false;
  if (DirExists(dir)) return true;
  std::vector<size_t> at = Backslashes(dir);
  if (!at.empty() && at.back() + 1 == dir.size()) at.pop_back();  // its trailing one
  if (!at.empty() && at.back() > 2) MakeDirs(dir.substr(0, at.back()));
  return CreateDirectoryA(dir.c_str(), nullptr) || DirExists(dir);
}

namespace {

// By UTF-16 names, so that a folder named in another code page (a run of a test in 1252
// after one in 932, or the other way) is removed all the same.
void RemoveTreeW(const std::wstring& base) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((base + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = base + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTreeW(full);
      } else {
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(full.c_str());
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(base.c_str());
}

}  // namespace

void RemoveTree(const std::string& dir) {
  std::string base = dir;
  if (EndsInBackslash(base)) base.pop_back();
  int n = MultiByteToWideChar(CP_ACP, 0, base.c_str(), -1, nullptr, 0);
  if (n <= 0) return;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, base.c_str(), -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n) - 1);
  RemoveTreeW(wide);
}

bool WriteFileText(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == text.size();
}

std::string ReadFileText(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  std::string out;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  CloseHandle(h);
  return out;
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Every entry of a folder, "." and ".." included, in the order the search yields them.
std::vector<WIN32_FIND_DATAA> Entries(const std::string& dir) {
  std::vector<WIN32_FIND_DATAA> entries;
  std::string base = dir;
  if (!base.empty() && !EndsInBackslash(base)) base += '\\';
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((base + "*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return entries;
  do entries.push_back(fd);
  while (FindNextFileA(h, &fd));
  FindClose(h);
  return entries;
}

}  // namespace

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const WIN32_FIND_DATAA& fd : Entries(dir))
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> SearchOrder(const std::string& dir) {
  std::vector<std::string> names;
  for (const WIN32_FIND_DATAA& fd : Entries(dir)) names.push_back(fd.cFileName);
  return names;
}

std::vector<std::string> FoldersBelow(const std::string& dir) {
  std::vector<std::string> found;
  std::string base = dir;
  if (!base.empty() && !EndsInBackslash(base)) base += '\\';
  for (const WIN32_FIND_DATAA& fd : Entries(base)) {
    std::string name = fd.cFileName;
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "." || name == "..")
      continue;
    found.push_back(name);
    for (const std::string& below : FoldersBelow(base + name)) found.push_back(name + "\\" + below);
  }
  std::sort(found.begin(), found.end());
  return found;
}

bool WriteFileOfSize(const std::string& path, long long bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string chunk(1 << 20, '\0');
  for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 7 + i / 251);
  bool ok = true;
  for (long long left = bytes; ok && left > 0;) {
    DWORD n = static_cast<DWORD>(std::min<long long>(left, chunk.size())), written = 0;
    ok = WriteFile(h, chunk.data(), n, &written, nullptr) && written == n;
    left -= n;
  }
  CloseHandle(h);
  return ok;
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return -1;
  return (static_cast<long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

bool SameContents(const std::string& a, const std::string& b) {
  HANDLE fa = CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr);
  HANDLE fb = CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr);
  bool same = fa != INVALID_HANDLE_VALUE && fb != INVALID_HANDLE_VALUE;
  std::string ba(1 << 20, '\0'), bb(1 << 20, '\0');
  while (same) {
    DWORD na = 0, nb = 0;
    same = ReadFile(fa, &ba[0], static_cast<DWORD>(ba.size()), &na, nullptr) &&
           ReadFile(fb, &bb[0], static_cast<DWORD>(bb.size()), &nb, nullptr) && na == nb &&
           memcmp(ba.data(), bb.data(), na) == 0;
    if (na == 0) break;
  }
  if (fa != INVALID_HANDLE_VALUE) CloseHandle(fa);
  if (fb != INVALID_HANDLE_VALUE) CloseHandle(fb);
  return same;
}

std::vector<MediaFile> DefaultPayload() {
  return {
      {"plugin", "velvor.8bf", "filter plug-in"},
      {"plugin", "readme.txt", "plug-in notes"},
      {"samples", "canyon.jpg", "canyon sample"},
      {"samples", "sunset.jpg", "sunset sample"},
      {"help", "velvor.hlp", "help file"},
      {"help", "velvor.cnt", "help contents"},
  };
}

std::string MakeMedia(const std::string& dir, const std::vector<MediaFile>& files) {
  std::string media = dir + "media\\";
  MakeDirs(media);
  EXPECT_TRUE(CopyFileA(SetupExe().c_str(), (media + "setup.exe").c_str(), FALSE))
      << "cannot copy " << SetupExe();
  for (const MediaFile& f : files) {
    MakeDirs(media + f.folder);
    if (!f.name.empty()) WriteFileText(media + f.folder + "\\" + f.name, f.text);
  }
  return media;
}

// --- Registry --------------------------------------------------------------------------

void DeleteProductKey() {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProductKey);
}

bool ProductKeyExists() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool ReadProductValue(const char* name, std::string* value) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  char buf[2048];
  DWORD size = sizeof buf, type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
  // The program stores the terminator with the text; keep what precedes it.
  value->assign(buf, strnlen(buf, size));
  return true;
}

void SetEditorCommand(int version, const std::string& command) {
  std::string root = "Photoshop.Image." + std::to_string(version);
  std::string path = root + "\\shell\\open\\command";
  if (command.empty()) {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (root + "\\shell\\open").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (root + "\\shell").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, root.c_str());
    return;
  }
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>(command.size() + 1));
  RegCloseKey(key);
}

bool SetScreenDpi(DWORD dpi) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                           sizeof dpi);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

ScopedScreenDpi::ScopedScreenDpi(DWORD dpi) {
  EXPECT_TRUE(SetScreenDpi(dpi)) << "cannot set LogPixels to " << dpi;
}

ScopedScreenDpi::~ScopedScreenDpi() {
  EXPECT_TRUE(SetScreenDpi(kDefaultDpi)) << "cannot put LogPixels back to 96";
}

// --- Windows ---------------------------------------------------------------------------

std::string TextOf(HWND window) {
  char buf[1024] = "";
  // WM_GETTEXT reaches controls of another process, unlike GetWindowText.
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf),
                      SMTO_ABORTIFHUNG, kWait, nullptr);
  return buf;
}

std::string ClassOf(HWND window) {
  char buf[256] = "";
  GetClassNameA(window, buf, sizeof buf);
  return buf;
}

std::string ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  EXPECT_NE(item, nullptr) << "no control " << id;
  return item ? TextOf(item) : "";
}

bool IsChecked(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  EXPECT_NE(item, nullptr) << "no check box " << id;
  DWORD_PTR state = 0;
  SendMessageTimeoutA(item, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kWait, &state);
  return state == BST_CHECKED;
}

void SetChecked(HWND dialog, int id, bool checked) {
  HWND item = GetDlgItem(dialog, id);
  ASSERT_NE(item, nullptr) << "no check box " << id;
  SendMessageTimeoutA(item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0,
                      SMTO_ABORTIFHUNG, kWait, nullptr);
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  HWND item = GetDlgItem(dialog, id);
  ASSERT_NE(item, nullptr) << "no control " << id;
  SendMessageTimeoutA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, kWait, nullptr);
}

int DefaultButton(HWND dialog) {
  // A message box marks its default by the button's style; a dialog answers DM_GETDEFID.
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (_stricmp(ClassOf(c).c_str(), "Button") == 0 &&
        (GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
      return GetDlgCtrlID(c);
  DWORD_PTR r = 0;
  SendMessageTimeoutA(dialog, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, kWait, &r);
  return HIWORD(r) == DC_HASDEFID ? LOWORD(r) : 0;
}

void Click(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  EXPECT_NE(item, nullptr) << "no button " << id;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(item));
}

std::string MessageText(HWND box) {
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (_stricmp(ClassOf(c).c_str(), "Static") != 0) continue;
    std::string t = TextOf(c);
    if (!t.empty()) return t;
  }
  return "";
}

std::vector<int> ButtonIds(HWND dialog) {
  std::vector<int> ids;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (_stricmp(ClassOf(c).c_str(), "Button") == 0 && IsWindowVisible(c))
      ids.push_back(GetDlgCtrlID(c));
  return ids;
}

std::vector<std::string> ListItems(HWND dialog, int id) {
  std::vector<std::string> items;
  HWND list = GetDlgItem(dialog, id);
  EXPECT_NE(list, nullptr) << "no list box " << id;
  DWORD_PTR count = 0;
  if (!list || !SendMessageTimeoutA(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kWait, &count))
    return items;
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kWait, &length);
    if (length == static_cast<DWORD_PTR>(LB_ERR)) length = 0;
    // Wine hands another process a list box's text in UTF-16 whichever way it is asked.
    std::wstring wide(length + 1, L'\0');
    SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]),
                        SMTO_ABORTIFHUNG, kWait, nullptr);
    char text[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
    items.push_back(text);
  }
  return items;
}

bool OpenDirectoryEntry(HWND fileDialog, const std::string& entry) {
  std::vector<std::string> items = ListItems(fileDialog, kDirectoryList);
  for (size_t i = 0; i < items.size(); ++i) {
    if (_stricmp(items[i].c_str(), entry.c_str()) != 0) continue;
    HWND list = GetDlgItem(fileDialog, kDirectoryList);
    SendMessageTimeoutA(list, LB_SETCURSEL, i, 0, SMTO_ABORTIFHUNG, kWait, nullptr);
    // The dialog moves to the folder while it handles the notification.
    SendMessageTimeoutA(fileDialog, WM_COMMAND, MAKEWPARAM(kDirectoryList, LBN_DBLCLK),
                        reinterpret_cast<LPARAM>(list), SMTO_ABORTIFHUNG, kWait, nullptr);
    return true;
  }
  return false;
}

bool CaptureScreen(std::vector<DWORD>* pixels, int* width, int* height) {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib) {
    HGDIOBJ old = SelectObject(mem, dib);
    ok = BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    pixels->assign(p, p + static_cast<size_t>(w) * h);
    *width = w;
    *height = h;
    SelectObject(mem, old);
    DeleteObject(dib);
  }
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

bool SaveScreenshot(const std::string& path) {
  std::vector<DWORD> pixels;
  int w = 0, h = 0;
  if (!CaptureScreen(&pixels, &w, &h)) return false;
  // 24 bits a pixel: a viewer would take the fourth byte of 32-bit pixels for alpha.
  DWORD stride = (static_cast<DWORD>(w) * 3 + 3) / 4 * 4;
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = -h;  // top-down, as captured
  info.biPlanes = 1;
  info.biBitCount = 24;
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof info;
  fh.bfSize = fh.bfOffBits + stride * h;
  std::string data(reinterpret_cast<char*>(&fh), sizeof fh);
  data.append(reinterpret_cast<char*>(&info), sizeof info);
  std::string row(stride, '\0');
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      DWORD p = pixels[static_cast<size_t>(y) * w + x];
      row[x * 3] = static_cast<char>(p & 0xFF);
      row[x * 3 + 1] = static_cast<char>(p >> 8 & 0xFF);
      row[x * 3 + 2] = static_cast<char>(p >> 16 & 0xFF);
    }
    data += row;
  }
  return WriteFileText(path, data);
}

std::string Lower(std::string s) {
  // A second byte may be an upper-case letter's; only single-byte characters change.
  for (char* p = &s[0]; *p != '\0';) {
    char* next = CharNextA(p);
    if (next == p + 1) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    p = next;
  }
  return s;
}

std::string WithoutSlash(std::string s) {
  if (s.size() > 3 && EndsInBackslash(s)) s.pop_back();
  return s;
}

// --- The program -------------------------------------------------------------------------

SetupProcess::SetupProcess(const std::string& mediaDir) {
  std::string exe = mediaDir + "setup.exe";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + exe + "\"";
  // Not the driver's error mode (GoogleTest sets one), so that the program's own shows.
  if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                      nullptr, mediaDir.c_str(), &si, &pi)) {
    ADD_FAILURE() << "cannot start " << exe << " (error " << GetLastError() << ")";
    return;
  }
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
}

SetupProcess::~SetupProcess() {
  if (!process_) return;
  if (running()) {
    TerminateProcess(process_, 255);
    WaitForSingleObject(process_, kWait);
  }
  CloseHandle(process_);
}

bool SetupProcess::running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

namespace {

struct FindArgs {
  DWORD pid;
  const char* cls;
  const char* title;
  std::function<bool(HWND)> accept;
  HWND found;
};

BOOL CALLBACK FindProc(HWND w, LPARAM lp) {
  auto* a = reinterpret_cast<FindArgs*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != a->pid || !IsWindowVisible(w)) return TRUE;
  if (a->cls && ClassOf(w) != a->cls) return TRUE;
  char title[256] = "";
  GetWindowTextA(w, title, sizeof title);  // a top-level caption is read without a send
  if (a->title && strcmp(title, a->title) != 0) return TRUE;
  if (a->accept && !a->accept(w)) return TRUE;
  a->found = w;
  return FALSE;
}

HWND FindWindowOf(DWORD pid, const char* cls, const char* title,
                  std::function<bool(HWND)> accept) {
  FindArgs args{pid, cls, title, std::move(accept), nullptr};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&args));
  return args.found;
}

std::string Describe(const char* cls, const char* title) {
  return std::string("window '") + (title ? title : "*") + "' of class " + (cls ? cls : "*");
}

}  // namespace

HWND SetupProcess::Find(const char* cls, const char* title, int controlId) const {
  return FindWindowOf(pid_, cls, title, [controlId](HWND w) {
    return controlId == 0 || GetDlgItem(w, controlId) != nullptr;
  });
}

HWND SetupProcess::MainWindow() const {
  return FindWindowOf(pid_, "VelvorWClass", nullptr, nullptr);
}

HWND SetupProcess::Await(const char* cls, const char* title, int controlId, DWORD ms) {
  HWND found = nullptr;
  bool ok = PollUntil(ms, [&] {
    found = Find(cls, title, controlId);
    return found != nullptr || !running();
  });
  if (!ok || !found) {
    ADD_FAILURE() << "timed out after " << ms << " ms awaiting " << Describe(cls, title)
                  << (controlId ? " with control " + std::to_string(controlId) : "")
                  << (running() ? "" : " (setup.exe has ended)");
    return nullptr;
  }
  return found;
}

HWND SetupProcess::AwaitComponentPage(DWORD ms) {
  return Await("#32770", "Velvorine Install", IDC_PLUGIN, ms);
}

HWND SetupProcess::AwaitDirectoryPage(const char* displayName, DWORD ms) {
  std::string prompt =
      std::string("Type in the directory where the ") + displayName + " will be installed,";
  HWND found = nullptr;
  PollUntil(ms, [&] {
    found = FindWindowOf(pid_, "#32770", "Installation Directory", [&](HWND w) {
      return GetDlgItem(w, IDC_DIRECTORY) && ItemText(w, IDC_PROMPT) == prompt;
    });
    return found != nullptr || !running();
  });
  if (!found)
    ADD_FAILURE() << "timed out after " << ms << " ms awaiting the directory page for "
                  << displayName << (running() ? "" : " (setup.exe has ended)");
  return found;
}

HWND SetupProcess::AwaitCopyDialog(DWORD ms) {
  return Await("#32770", "Installing Files", IDC_COPYFILE, ms);
}

HWND SetupProcess::AwaitMessageBox(const char* title, DWORD ms) {
  HWND found = nullptr;
  PollUntil(ms, [&] {
    found = FindWindowOf(pid_, "#32770", title, [](HWND w) {
      return !GetDlgItem(w, IDC_PLUGIN) && !GetDlgItem(w, IDC_DIRECTORY) &&
             !GetDlgItem(w, IDC_COPYFILE);
    });
    return found != nullptr || !running();
  });
  if (!found)
    ADD_FAILURE() << "timed out after " << ms << " ms awaiting a message box titled '" << title
                  << "'" << (running() ? "" : " (setup.exe has ended)");
  return found;
}

HWND SetupProcess::AwaitBrowseDialog(HWND page, DWORD ms) {
  HWND found = nullptr;
  PollUntil(ms, [&] {
    found = FindWindowOf(pid_, "#32770", "Select Directory", [page](HWND w) {
      return GetWindow(w, GW_OWNER) == page && GetDlgItem(w, kDirectoryList) != nullptr;
    });
    return found != nullptr || !running();
  });
  if (!found)
    ADD_FAILURE() << "timed out after " << ms << " ms awaiting the Select Directory dialog"
                  << (running() ? "" : " (setup.exe has ended)");
  return found;
}

bool SetupProcess::AwaitItemText(HWND dialog, int id, const std::string& text, DWORD ms) {
  HWND item = dialog ? GetDlgItem(dialog, id) : nullptr;
  std::string last;
  bool ok = item && PollUntil(
                        ms, [&] { return (last = TextOf(item)) == text || !IsWindow(item); }, 1);
  if (!ok || last != text)
    ADD_FAILURE() << "timed out after " << ms << " ms awaiting '" << text << "' in control "
                  << id << " (last seen: '" << last << "')";
  return ok && last == text;
}

bool SetupProcess::AwaitGone(HWND window, DWORD ms) {
  bool ok = PollUntil(ms, [&] { return !IsWindow(window) || !IsWindowVisible(window); });
  if (!ok) ADD_FAILURE() << "window '" << TextOf(window) << "' did not close within " << ms << " ms";
  return ok;
}

bool SetupProcess::Press(HWND dialog, int id, DWORD ms) {
  if (!dialog) return false;
  Click(dialog, id);
  return AwaitGone(dialog, ms);
}

bool SetupProcess::AwaitExit(DWORD* exitCode, DWORD ms) {
  if (!process_) return false;
  if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "setup.exe did not end within " << ms << " ms";
    return false;
  }
  GetExitCodeProcess(process_, exitCode);
  return true;
}

UINT SetupProcess::ExchangeErrorMode(UINT mode) {
  // System DLLs sit at the same address in every process of a session.
  auto set = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetErrorMode")));
  HANDLE thread = CreateRemoteThread(process_, nullptr, 0, set,
                                     reinterpret_cast<void*>(static_cast<UINT_PTR>(mode)), 0, nullptr);
  DWORD previous = ~0u;  // no such mode
  if (thread && WaitForSingleObject(thread, kWait) == WAIT_OBJECT_0)
    GetExitCodeThread(thread, &previous);
  if (thread) CloseHandle(thread);
  return previous;
}

std::set<DWORD> ThreadsOf(DWORD pid) {
  std::set<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t))
    if (t.th32OwnerProcessID == pid) ids.insert(t.th32ThreadID);
  CloseHandle(snap);
  return ids;
}

NewThreadsHeld::NewThreadsHeld(DWORD pid, const std::set<DWORD>& before) {
  for (DWORD id : ThreadsOf(pid)) {
    HANDLE thread = before.count(id) ? nullptr : OpenThread(THREAD_SUSPEND_RESUME, FALSE, id);
    if (thread && SuspendThread(thread) != static_cast<DWORD>(-1))
      held_.push_back(thread);
    else if (thread)
      CloseHandle(thread);
  }
}

NewThreadsHeld::~NewThreadsHeld() {
  for (HANDLE thread : held_) {
    ResumeThread(thread);
    CloseHandle(thread);
  }
}

bool CopyUnderWay(const std::string& dir, const std::string& name, long long bytes) {
  std::vector<std::string> folders = FoldersBelow(dir);
  folders.push_back("");
  for (const std::string& f : folders) {
    // Listed on a handle that shares deleting too: setup holds its work folder against
    // renaming, and a search by name (which under Wine does not share deleting) is refused.
    HANDLE h = CreateFileA((f.empty() ? dir : dir + "\\" + f).c_str(), FILE_LIST_DIRECTORY,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    alignas(8) BYTE buffer[8192];
    bool found = false;
    for (auto next = FileIdBothDirectoryRestartInfo;
         !found && GetFileInformationByHandleEx(h, next, buffer, sizeof buffer);
         next = FileIdBothDirectoryInfo) {
      for (BYTE* at = buffer;; ) {
        auto* e = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(at);
        std::wstring n(e->FileName, e->FileNameLength / sizeof(WCHAR));
        std::wstring wanted(name.begin(), name.end());
        if (e->EndOfFile.QuadPart >= bytes && !(f.empty() && n == wanted)) found = true;
        if (!e->NextEntryOffset) break;
        at += e->NextEntryOffset;
      }
    }
    CloseHandle(h);
    if (found) return true;
  }
  return false;
}

void ExpectExitZero(SetupProcess& setup) {
  DWORD code = 1;
  ASSERT_TRUE(setup.AwaitExit(&code));
  EXPECT_EQ(code, 0u);
}

void ExpectCompletedAndExit(SetupProcess& setup) {
  HWND done = setup.AwaitMessageBox("Velvorine Install");
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(MessageText(done), "The installation has completed successfully.");
  ASSERT_TRUE(setup.Press(done, IDOK));
  ExpectExitZero(setup);
}

void ExpectCancelledAndExit(SetupProcess& setup, HWND page) {
  ASSERT_TRUE(setup.Press(page, IDCANCEL));
  HWND box = setup.AwaitMessageBox("Velvorine Install");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageText(box), "Are you sure you wish to cancel this installation?");
  ASSERT_TRUE(setup.Press(box, IDYES));
  ExpectExitZero(setup);
}

}  // namespace e2e
