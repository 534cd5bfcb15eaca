// The program's shell and the wizard's moves, seen from outside.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

// The default payload and setup.exe in a folder whose paths may not fit the platform's
// 260 characters: made with the wide calls and the "\\?\" prefix, which are not bound
// by that limit.
bool MakeLongMedia(const std::string& dir) {
  auto wide = [](const std::string& path) {
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
  };
  for (size_t at = dir.find('\\', 3); at != std::string::npos; at = dir.find('\\', at + 1))
    CreateDirectoryW(wide(dir.substr(0, at)).c_str(), nullptr);
  std::string exe = SetupExe();
  if (!CopyFileW(wide(exe).c_str(), wide(dir + "setup.exe").c_str(), FALSE)) return false;
  for (const MediaFile& f : DefaultPayload()) {
    CreateDirectoryW(wide(dir + f.folder).c_str(), nullptr);
    HANDLE h = CreateFileW(wide(dir + f.folder + "\\" + f.name).c_str(), GENERIC_WRITE, 0,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(h, f.text.data(), static_cast<DWORD>(f.text.size()), &written, nullptr);
    CloseHandle(h);
  }
  return true;
}

class Shell : public testing::Test {
 protected:
  void SetUp() override {
    DeleteProductKey();
    SetEditorCommand(4, "");
    SetEditorCommand(3, "");
    media_ = MakeMedia(ScratchDir(), DefaultPayload());
  }
  // Answers the cancel confirmation, checking its text, title and buttons.
  void AnswerConfirmation(SetupProcess& setup, int answer) {
    HWND box = setup.AwaitMessageBox("Velvorine Install");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "Are you sure you wish to cancel this installation?");
    EXPECT_EQ(ButtonIds(box), (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(DefaultButton(box), IDNO);
    ASSERT_TRUE(setup.Press(box, answer));
  }
  std::string media_;
};

TEST_F(Shell, MainWindowCoversTheScreenBeforeTheComponentPage) {
  SetupProcess setup(media_);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  HWND main = setup.MainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(TextOf(main), "Velvorine Install");
  LONG style = GetWindowLongA(main, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_TRUE(IsZoomed(main));
  RECT r;
  GetWindowRect(main, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(GetWindow(page, GW_OWNER), main);

  // The component page: its texts, every box checked, Next the default.
  EXPECT_EQ(ItemText(page, IDC_PLUGIN), "Velvorine &Plugin");
  EXPECT_EQ(ItemText(page, IDC_SAMPLES), "&Sample Files");
  EXPECT_EQ(ItemText(page, IDC_HELPFILES), "On-Line &Help Files");
  EXPECT_EQ(ItemText(page, IDOK), "&Next");
  EXPECT_EQ(ItemText(page, IDCANCEL), "Cancel");
  EXPECT_TRUE(IsChecked(page, IDC_PLUGIN));
  EXPECT_TRUE(IsChecked(page, IDC_SAMPLES));
  EXPECT_TRUE(IsChecked(page, IDC_HELPFILES));
  EXPECT_EQ(DefaultButton(page), IDOK);
  // Centred on the screen.
  GetWindowRect(page, &r);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);

  ASSERT_TRUE(setup.Press(page, IDCANCEL));
  AnswerConfirmation(setup, IDYES);
  ExpectExitZero(setup);
  EXPECT_FALSE(ProductKeyExists());
}

TEST_F(Shell, NothingChosenGoesStraightToCompletion) {
  SetupProcess setup(media_);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  for (int id : {IDC_PLUGIN, IDC_SAMPLES, IDC_HELPFILES}) SetChecked(page, id, false);
  ASSERT_TRUE(setup.Press(page, IDOK));
  HWND done = setup.AwaitMessageBox("Velvorine Install");
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(MessageText(done), "The installation has completed successfully.");
  EXPECT_EQ(ButtonIds(done), (std::vector<int>{IDOK}));
  ASSERT_TRUE(setup.Press(done, IDOK));
  ExpectExitZero(setup);
  EXPECT_FALSE(ProductKeyExists());
}

TEST_F(Shell, BackFromSamplesPassesTheUnchosenPlugin) {
  SetupProcess setup(media_);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  SetChecked(page, IDC_PLUGIN, false);
  ASSERT_TRUE(setup.Press(page, IDOK));
  HWND samples = setup.AwaitDirectoryPage("Sample Files");
  ASSERT_NE(samples, nullptr);
  EXPECT_EQ(DefaultButton(samples), IDOK);
  ASSERT_TRUE(setup.Press(samples, IDC_BACK));
  page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(IsChecked(page, IDC_PLUGIN));
  EXPECT_TRUE(IsChecked(page, IDC_SAMPLES));
  ASSERT_TRUE(setup.Press(page, IDCANCEL));
  AnswerConfirmation(setup, IDYES);
  ExpectExitZero(setup);
}

TEST_F(Shell, NoInTheConfirmationReturnsToThePageThatWasLeft) {
  SetupProcess setup(media_);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  // The boxes are kept through Cancel and No.
  SetChecked(page, IDC_SAMPLES, false);
  ASSERT_TRUE(setup.Press(page, IDCANCEL));
  AnswerConfirmation(setup, IDNO);
  page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(IsChecked(page, IDC_PLUGIN));
  EXPECT_FALSE(IsChecked(page, IDC_SAMPLES));
  EXPECT_TRUE(IsChecked(page, IDC_HELPFILES));
  ASSERT_TRUE(setup.Press(page, IDOK));

  // The plug-in page: Next stores C:\Stored; on the help page, a typed directory is not
  // stored by Cancel, and No shows the help page again as it was.
  HWND plugin = setup.AwaitDirectoryPage("Velvorine Plugin");
  ASSERT_NE(plugin, nullptr);
  SetItemText(plugin, IDC_DIRECTORY, "C:\\Stored");
  ASSERT_TRUE(setup.Press(plugin, IDOK));
  HWND help = setup.AwaitDirectoryPage("On-line Help Files");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(ItemText(help, IDC_DIRECTORY), "C:\\Stored");
  SetItemText(help, IDC_DIRECTORY, "C:\\Typed");
  ASSERT_TRUE(setup.Press(help, IDCANCEL));
  AnswerConfirmation(setup, IDNO);
  help = setup.AwaitDirectoryPage("On-line Help Files");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(ItemText(help, IDC_DIRECTORY), "C:\\Stored");

  // Back passes the unchosen samples page and shows the stored plug-in directory.
  ASSERT_TRUE(setup.Press(help, IDC_BACK));
  plugin = setup.AwaitDirectoryPage("Velvorine Plugin");
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), "C:\\Stored");
  ASSERT_TRUE(setup.Press(plugin, IDCANCEL));
  AnswerConfirmation(setup, IDYES);
  ExpectExitZero(setup);
  EXPECT_FALSE(ProductKeyExists());
  EXPECT_FALSE(DirExists("C:\\Stored"));
}

TEST_F(Shell, ClosingAPageFromItsSystemMenuAsksToCancel) {
  SetupProcess setup(media_);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  PostMessageA(page, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(setup.AwaitGone(page));
  AnswerConfirmation(setup, IDYES);
  ExpectExitZero(setup);
}

// Close requests while the wizard runs: on a page, and while the program waits for the
// copy of a large file after a Cancel. None of them drops a step.
TEST_F(Shell, CloseRequestsWhileTheWizardRunsAreIgnored) {
  std::string root = ScratchDir();
  std::vector<MediaFile> payload = DefaultPayload();
  payload.push_back({"samples", "photo.jpg", "photo"});
  std::string media = MakeMedia(root, payload);
  // Large enough that its copy is seen under way, its worker then held.
  std::string large = media + "samples\\large.tif";
  ASSERT_TRUE(WriteFileOfSize(large, 256ll << 20));
  std::string samples = root + "Samples", help = root + "Help";

  SetupProcess setup(media);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  HWND main = setup.MainWindow();
  ASSERT_NE(main, nullptr);
  DWORD thread = GetWindowThreadProcessId(main, nullptr);
  auto requestClose = [&] {
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);  // Alt+F4, the system menu
    PostMessageA(main, WM_CLOSE, 0, 0);               // the task list
    PostThreadMessageA(thread, WM_QUIT, 3, 0);
  };
  // Posted before the click, so handled before the page moves on.
  requestClose();
  SetChecked(page, IDC_PLUGIN, false);
  ASSERT_TRUE(setup.Press(page, IDOK));
  const std::pair<const char*, std::string> pages[] = {{"Sample Files", samples},
                                                       {"On-line Help Files", help}};
  std::set<DWORD> threadsBefore;
  for (const auto& [name, directory] : pages) {
    HWND dir = setup.AwaitDirectoryPage(name);
    ASSERT_NE(dir, nullptr);
    SetItemText(dir, IDC_DIRECTORY, directory);
    threadsBefore = ThreadsOf(setup.pid());
    ASSERT_TRUE(setup.Press(dir, IDOK));
  }

  HWND copying = setup.AwaitCopyDialog();
  ASSERT_NE(copying, nullptr);
  for (DWORD start = GetTickCount(); !CopyUnderWay(samples, "large.tif", 1 << 20); Sleep(1))
    ASSERT_LT(GetTickCount() - start, kWait) << "no copy of large.tif seen growing";
  {
    NewThreadsHeld worker(setup.pid(), threadsBefore);  // until the requests are answered
    ASSERT_GT(worker.count(), 0u);
    ASSERT_FALSE(FileExists(samples + "\\large.tif")) << "placed before its copy was seen";
    ASSERT_TRUE(setup.AwaitItemText(copying, IDC_COPYFILE, "Copying large.tif"));
    // Queued right behind the Cancel, so taken by the wait for the large file's copy.
    Click(copying, IDCANCEL);
    requestClose();
    ASSERT_TRUE(setup.AwaitGone(copying));
    // The session's end is refused too while the install runs.
    DWORD_PTR mayEnd = 1;
    ASSERT_TRUE(SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, kWait,
                                    &mayEnd));
    EXPECT_EQ(mayEnd, 0u);
  }

  // The rest of the install happens: the large file whole, the help files, both values,
  // the closing message; then the program ends as usual.
  HWND done = setup.AwaitMessageBox("Velvorine Install", 60000);
  ASSERT_NE(done, nullptr);
  EXPECT_TRUE(IsWindow(main));
  EXPECT_TRUE(SameContents(samples + "\\large.tif", large));
  for (const char* name : {"velvor.hlp", "velvor.cnt"})
    EXPECT_EQ(ReadFileText(help + "\\" + name), ReadFileText(media + "help\\" + name)) << name;
  std::string value;
  EXPECT_TRUE(ReadProductValue("ParamDirectory", &value) && value == samples) << value;
  EXPECT_TRUE(ReadProductValue("HelpFile", &value) && value == help + "\\velvor.hlp") << value;
  ASSERT_TRUE(setup.Press(done, IDOK));
  ExpectExitZero(setup);
  DeleteFileA((samples + "\\large.tif").c_str());
  DeleteFileA(large.c_str());
}

// A second start while one runs: it shows nothing of its own, brings the running one's
// page to the front and ends; the first goes on.
TEST_F(Shell, ASecondStartHandsOverToTheFirst) {
  SetupProcess first(media_);
  HWND page = first.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  // A window of this test in front of the page, for the second start to move aside.
  HWND front = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "in front", WS_POPUP | WS_VISIBLE, 0, 0,
                               200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(front, nullptr);
  SetWindowPos(front, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);

  SetupProcess second(media_);
  // Watched without a pause until it ends, so that no window of its own goes unseen.
  HWND shown = nullptr;
  for (DWORD start = GetTickCount(); second.running() && !shown && GetTickCount() - start < kWait;)
    shown = second.Find(nullptr, nullptr);
  EXPECT_EQ(shown, nullptr) << "the second start showed '" << TextOf(shown) << "'";
  ExpectExitZero(second);
  // The activation reaches this process through Wine's server a moment later.
  for (DWORD start = GetTickCount(); GetForegroundWindow() != page && GetTickCount() - start < kWait;)
    Sleep(10);
  EXPECT_EQ(GetForegroundWindow(), page);
  DestroyWindow(front);

  // The first goes on to its end.
  for (int id : {IDC_PLUGIN, IDC_SAMPLES, IDC_HELPFILES}) SetChecked(page, id, false);
  ASSERT_TRUE(first.Press(page, IDOK));
  ExpectCompletedAndExit(first);
}

// Started from a folder whose paths do not fit: the program says so over its backdrop,
// installs nothing and ends. The longest path it reads here is the folder followed by
// "samples\sunset.jpg" (18 characters); with the terminator, 260 bytes must hold it.
TEST_F(Shell, AFolderWhosePathsDoNotFitIsNamedAndNothingIsInstalled) {
  std::string root = ScratchDir();
  for (size_t length : {241, 242}) {  // of the media folder, its last backslash included
    SCOPED_TRACE(length);
    // Folders of at most 100 characters down to the wanted length.
    std::string dir = root + std::to_string(length) + "\\";
    size_t left = length - dir.size();
    for (; left > 101; left -= 100) dir += std::string(99, 'f') + "\\";
    dir += std::string(left - 1, 'f') + "\\";
    ASSERT_EQ(dir.size(), length);
    ASSERT_TRUE(MakeLongMedia(dir));
    SetupProcess setup(dir);
    if (length == 241) {  // every path fits, to the last byte
      HWND page = setup.AwaitComponentPage();
      ASSERT_NE(page, nullptr);
      ASSERT_TRUE(setup.Press(page, IDCANCEL));
      AnswerConfirmation(setup, IDYES);
      ExpectExitZero(setup);
      continue;
    }
    HWND box = setup.AwaitMessageBox("Velvorine Install");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), setup.MainWindow());
    EXPECT_EQ(MessageText(box),
              "Setup cannot run from this folder, because its path is too long:\n\n" + dir +
                  "\n\nMove the setup files to a folder with a shorter path and run setup again.");
    EXPECT_EQ(ButtonIds(box), (std::vector<int>{IDOK}));
    EXPECT_EQ(setup.Find("#32770", "Velvorine Install", IDC_PLUGIN), nullptr);
    ASSERT_TRUE(setup.Press(box, IDOK));
    ExpectExitZero(setup);
    EXPECT_FALSE(ProductKeyExists());
  }
}

// setup.exe alone, as the shell runs it from inside a zip: it says where it looked for its
// folders and ends, having written nothing. A drive without media fails quietly there.
// A source folder that is there but cannot be read (another program holds it open and
// shares it with no one) is no missing media: it is named with the system's reason.
TEST_F(Shell, SetupWithoutItsFoldersSaysSoAndEnds) {
  std::string root = ScratchDir();
  std::string alone = MakeMedia(root, {}), media = MakeMedia(root + "held\\", DefaultPayload());
  HANDLE held = CreateFileA((media + "samples").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::unique_ptr<void, decltype(&CloseHandle)> holder(held, CloseHandle);
  char reason[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 ERROR_SHARING_VIOLATION, 0, reason, sizeof reason, nullptr);
  const std::pair<std::string, std::string> said[] = {
      {alone, "Setup cannot find the files that it installs. They belong beside setup.exe, in "
              "the folders plugin, samples and help, and none of them is in the folder it "
              "looked in:\n\n" + alone + "\n\nIf setup.exe was opened from inside a zip file, "
              "extract all the files first, then run setup.exe from the extracted folder.\r\n"},
      {media, "Setup cannot read the files that it installs from this folder:\n\n" + media +
                  "samples\n\n" + reason}};
  for (const auto& [folder, message] : said) {
    SetupProcess setup(folder);
    HWND box = setup.AwaitMessageBox("Velvorine Install");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(setup.ExchangeErrorMode(SEM_FAILCRITICALERRORS), UINT{SEM_FAILCRITICALERRORS});
    EXPECT_EQ(GetWindow(box, GW_OWNER), setup.MainWindow());
    EXPECT_EQ(MessageText(box) + "\r\n", message);
    ASSERT_TRUE(setup.Press(box, IDOK));
    ExpectExitZero(setup);
    EXPECT_FALSE(ProductKeyExists());
  }
}

}  // namespace
