// The install step seen from outside: directories, copied files, registry values,
// messages and the progress dialog of the real setup.exe.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int kComponentBoxes[] = {IDC_PLUGIN, IDC_SAMPLES, IDC_HELPFILES};
constexpr const char* kDisplayNames[] = {"Velvorine Plugin", "Sample Files",
                                         "On-line Help Files"};
constexpr const char* kFolders[] = {"plugin", "samples", "help"};

// The components to install and the directory typed for each ("" with want false: not
// chosen).
struct Choice {
  bool want[3];
  std::string dir[3];
};

class Install : public testing::Test {
 protected:
  void SetUp() override {
    DeleteProductKey();
    root_ = ScratchDir();
  }
  void TearDown() override { DeleteProductKey(); }

  // From the component page to the last chosen page: the boxes, then each chosen page
  // with its directory typed in, left with Next but the last, which *last is.
  void WalkToLastPage(SetupProcess& setup, const Choice& c, HWND* last) {
    *last = setup.AwaitComponentPage();
    ASSERT_NE(*last, nullptr);
    for (int i = 0; i < 3; ++i) SetChecked(*last, kComponentBoxes[i], c.want[i]);
    for (int i = 0; i < 3; ++i) {
      if (!c.want[i]) continue;
      ASSERT_TRUE(setup.Press(*last, IDOK));
      *last = setup.AwaitDirectoryPage(kDisplayNames[i]);
      ASSERT_NE(*last, nullptr);
      SetItemText(*last, IDC_DIRECTORY, c.dir[i]);
    }
  }
  // ... and on to the install step: returns once the last page has gone.
  void WalkToInstall(SetupProcess& setup, const Choice& c) {
    HWND last = nullptr;
    WalkToLastPage(setup, c, &last);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(setup.Press(last, IDOK));
  }
  void ExpectCompletion(SetupProcess& setup, DWORD ms = kWait) {
    ExpectLastWord(setup, "The installation has completed successfully.", ms);
  }
  // The message that ends the wizard: a warning icon unless everything arrived; OK alone.
  void ExpectLastWord(SetupProcess& setup, const std::string& text, DWORD ms = kWait) {
    HWND done = setup.AwaitMessageBox("Velvorine Install", ms);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageText(done), text);
    EXPECT_EQ(HasIcon(done), text != "The installation has completed successfully.");
    EXPECT_EQ(ButtonIds(done), (std::vector<int>{IDOK}));
    ASSERT_TRUE(setup.Press(done, IDOK));
    ExpectExitZero(setup);
  }
  static bool HasIcon(HWND box) {
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      DWORD_PTR icon = 0;
      if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
          SendMessageTimeoutA(c, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kWait, &icon) && icon)
        return true;
    }
    return false;
  }
  // A question about a file that cannot be installed: owned by the progress dialog,
  // naming the full destination and the reason, with Abort, Retry and Ignore.
  HWND AwaitQuestion(SetupProcess& setup, const std::string& path, const std::string& reason,
                     DWORD ms = kWait) {
    HWND box = setup.AwaitMessageBox("Velvorine Install", ms);
    if (!box) return nullptr;
    EXPECT_EQ(MessageText(box), "Could not install " + path + "\n\n" + reason);
    EXPECT_EQ(GetWindow(box, GW_OWNER), setup.Find("#32770", "Installing Files", IDC_COPYFILE));
    EXPECT_EQ(ButtonIds(box), (std::vector<int>{IDABORT, IDRETRY, IDIGNORE}));
    EXPECT_TRUE(HasIcon(box));
    return box;
  }
  // The system's own text for an error code, as the program shows it.
  static std::string SystemText(DWORD error) {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                   0, text, sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && strchr(" \r\n", s.back())) s.pop_back();
    return s;
  }
  // No file of the folder is read-only, and no temporary copy or folder was left.
  static void ExpectNoReadOnlyNorLeftovers(const std::string& dir) {
    EXPECT_EQ(FoldersBelow(dir), std::vector<std::string>{}) << dir;
    for (const std::string& n : FilesIn(dir)) {
      EXPECT_EQ(n.find(".tmp"), std::string::npos) << "left in " << dir << ": " << n;
      EXPECT_FALSE(GetFileAttributesA((dir + "\\" + n).c_str()) & FILE_ATTRIBUTE_READONLY)
          << n << " in " << dir;
    }
  }
  // The error of a directory that cannot be made: the platform's caption, OK alone; then
  // the program ends without its completion message.
  void ExpectCouldNotCreate(SetupProcess& setup, const std::string& dir) {
    HWND box = setup.AwaitMessageBox("Error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "Could not create " + dir);
    EXPECT_EQ(ButtonIds(box), (std::vector<int>{IDOK}));
    ASSERT_TRUE(setup.Press(box, IDOK));
    ExpectExitZero(setup);  // a completion message would keep it running
  }
  // Every file of the media's source folder is in dir with the same contents.
  void ExpectCopied(const std::string& media, const char* folder, const std::string& dir) {
    std::vector<std::string> names = FilesIn(media + folder);
    ASSERT_FALSE(names.empty()) << folder;
    for (const std::string& n : names)
      EXPECT_EQ(ReadFileText(dir + "\\" + n), ReadFileText(media + folder + "\\" + n))
          << n << " in " << dir;
  }
  static std::string Value(const char* name) {
    std::string v;
    return ReadProductValue(name, &v) ? v : "<missing>";
  }
  // All three components arrived whole in their directories, and both values name them.
  void ExpectInstalled(const std::string& media, const std::string& plugin,
                       const std::string& samples, const std::string& help) {
    ExpectCopied(media, "plugin", plugin);
    ExpectCopied(media, "samples", samples);
    ExpectCopied(media, "help", help);
    EXPECT_EQ(Value("ParamDirectory"), samples);
    EXPECT_EQ(Value("HelpFile"), help + "\\velvor.hlp");
  }
  std::string root_;
};

TEST_F(Install, AllThreeMakeTheirDirectoriesCopyEveryFileAndRecordBothValues) {
  std::string media = MakeMedia(root_, DefaultPayload());
  // The help files go beside the plug-in, as they do by default.
  std::string plugin = root_ + "Editor\\Plug-ins\\Velvorine";
  std::string samples = root_ + "Program Files\\Velvorine\\Samples";
  SetupProcess setup(media);
  WalkToInstall(setup, {{true, true, true}, {plugin, samples, plugin}});
  ExpectCompletion(setup);

  ExpectInstalled(media, plugin, samples, plugin);
  EXPECT_EQ(FilesIn(plugin), (std::vector<std::string>{"readme.txt", "velvor.8bf", "velvor.cnt",
                                                       "velvor.hlp"}));
  EXPECT_EQ(FilesIn(samples), (std::vector<std::string>{"canyon.jpg", "sunset.jpg"}));
}

TEST_F(Install, WhatIsRecordedFollowsTheChosenComponents) {
  struct Case {
    const char* name;
    bool want[3];
    const char* paramDirectory;  // nullptr: not written
    bool helpFile;
  };
  const Case cases[] = {
      {"plugin-only", {true, false, false}, nullptr, false},
      {"samples-only", {false, true, false}, "Samples", false},
      {"help-only", {false, false, true}, nullptr, true},
  };
  std::string media = MakeMedia(root_, DefaultPayload());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteProductKey();
    std::string base = root_ + c.name + "\\";
    Choice choice = {{c.want[0], c.want[1], c.want[2]},
                     {base + "Plugins", base + "Samples", base + "Help"}};
    SetupProcess setup(media);
    WalkToInstall(setup, choice);
    ExpectCompletion(setup);
    for (int i = 0; i < 3; ++i) {
      if (c.want[i]) {
        ExpectCopied(media, kFolders[i], choice.dir[i]);
      } else {
        EXPECT_FALSE(DirExists(choice.dir[i])) << "made a directory for " << kFolders[i];
      }
    }
    EXPECT_EQ(Value("ParamDirectory"), c.paramDirectory ? base + c.paramDirectory : "<missing>");
    EXPECT_EQ(Value("HelpFile"), c.helpFile ? base + "Help\\velvor.hlp" : "<missing>");
  }
}

TEST_F(Install, ATrailingBackslashIsKeptOnceAndIsNoFailure) {
  std::string media = MakeMedia(root_, DefaultPayload());
  // Two levels missing: the directory is made on the way up, before the last attempt.
  std::string samples = root_ + "two\\levels\\Samples\\";
  SetupProcess setup(media);
  WalkToInstall(setup, {{false, true, false}, {"", samples, ""}});
  ExpectCompletion(setup);
  ExpectCopied(media, "samples", samples.substr(0, samples.size() - 1));
  EXPECT_EQ(Value("ParamDirectory"), samples);
}

TEST_F(Install, AHelpDirectoryUnderAFileStopsEverythingBeforeAnyCopy) {
  std::string media = MakeMedia(root_, DefaultPayload());
  ASSERT_TRUE(WriteFileText(root_ + "blocker", "a file where a folder is needed"));
  std::string plugin = root_ + "made\\Plugins", samples = root_ + "made\\Samples";
  std::string help = root_ + "blocker\\Help";
  SetupProcess setup(media);
  WalkToInstall(setup, {{true, true, true}, {plugin, samples, help}});
  ExpectCouldNotCreate(setup, help);
  // The earlier directories were made, and are empty; nothing was recorded.
  EXPECT_TRUE(DirExists(plugin));
  EXPECT_TRUE(DirExists(samples));
  EXPECT_TRUE(FilesIn(plugin).empty());
  EXPECT_TRUE(FilesIn(samples).empty());
  EXPECT_FALSE(ProductKeyExists());
}

TEST_F(Install, AnEmptyDirectoryCannotBeCreated) {
  std::string media = MakeMedia(root_, DefaultPayload());
  SetupProcess setup(media);
  WalkToInstall(setup, {{true, false, false}, {"", "", ""}});
  ExpectCouldNotCreate(setup, "");
  EXPECT_FALSE(ProductKeyExists());
}

TEST_F(Install, MissingSourceFoldersShowNoProgressDialogAndStillRecordTheValues) {
  // Only the plug-in's folder in the media, and a file named samples where that folder
  // would be (a search in it fails as "invalid name" under Wine, "directory name is
  // invalid" on Windows); the samples and the help files are chosen.
  std::vector<MediaFile> payload;
  for (const MediaFile& f : DefaultPayload())
    if (f.folder == "plugin") payload.push_back(f);
  std::string media = MakeMedia(root_, payload);
  ASSERT_TRUE(WriteFileText(media + "samples", "a file, not the folder"));
  std::string samples = root_ + "Samples", help = root_ + "Help";
  SetupProcess setup(media);
  WalkToInstall(setup, {{false, true, true}, {"", samples, help}});
  // Watch closely from the install step to the completion message.
  HWND done = nullptr, copying = nullptr;
  DWORD start = GetTickCount();
  while (!done && !copying && setup.running() && GetTickCount() - start < kWait) {
    copying = setup.Find("#32770", "Installing Files");
    done = setup.Find("#32770", "Velvorine Install");
    Sleep(1);
  }
  EXPECT_EQ(copying, nullptr) << "a progress dialog was shown";
  ExpectCompletion(setup);
  EXPECT_TRUE(DirExists(samples));
  EXPECT_TRUE(DirExists(help));
  EXPECT_TRUE(FilesIn(samples).empty());
  EXPECT_EQ(Value("ParamDirectory"), samples);
  EXPECT_EQ(Value("HelpFile"), help) << "no help file there to name";
}

// Cancel while a large file is being copied: that file is finished, no later file of the
// component is copied, and the installation goes on with the next component and both
// registry values; meanwhile the directory and its work folder cannot be renamed. The
// copy's worker is held from the moment the large file's copy is
// seen growing until the Cancel has been taken, so that the Cancel comes during that file
// however the machine's load shifts the threads' pace.
TEST_F(Install, CancelDuringALargeFileFinishesItAndGoesOnWithTheNextComponent) {
  std::vector<MediaFile> payload = DefaultPayload();
  for (int i = 0; i < 8; ++i)
    payload.push_back({"samples", "photo" + std::to_string(i) + ".jpg", "photo " + std::to_string(i)});
  std::string media = MakeMedia(root_, payload);
  // The large file somewhere in the middle of the listing, so that files follow it.
  std::string source = media + "samples\\", big = "large.tif";
  // Large enough that its copy is seen under way, its worker then held.
  ASSERT_TRUE(WriteFileOfSize(source + big, 256ll << 20));
  auto filesInOrder = [&] {
    std::vector<std::string> names;
    for (const std::string& n : SearchOrder(source))
      if (n != "." && n != "..") names.push_back(n);
    return names;
  };
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::vector<std::string> order = filesInOrder();
    size_t at = std::find(order.begin(), order.end(), big) - order.begin();
    if (at > 0 && at + 1 < order.size()) break;
    std::string renamed = "large" + std::to_string(attempt) + ".tif";
    ASSERT_TRUE(MoveFileA((source + big).c_str(), (source + renamed).c_str()));
    big = renamed;
  }
  std::vector<std::string> order = filesInOrder();
  size_t at = std::find(order.begin(), order.end(), big) - order.begin();

  std::string samples = root_ + "Samples", help = root_ + "Help";
  SetupProcess setup(media);
  HWND last = nullptr;
  WalkToLastPage(setup, {{false, true, true}, {"", samples, help}}, &last);
  ASSERT_FALSE(HasFatalFailure());
  const std::set<DWORD> threadsBefore = ThreadsOf(setup.pid());
  ASSERT_TRUE(setup.Press(last, IDOK));
  HWND copying = setup.AwaitCopyDialog();
  ASSERT_NE(copying, nullptr);
  EXPECT_EQ(GetWindow(copying, GW_OWNER), setup.MainWindow());
  // The second line names the directory for the whole component.
  ASSERT_TRUE(setup.AwaitItemText(copying, IDC_COPYDEST, "to " + samples));
  for (DWORD start = GetTickCount(); !CopyUnderWay(samples, big, 1 << 20); Sleep(1))
    ASSERT_LT(GetTickCount() - start, kWait) << "no copy of " << big << " seen growing";
  {
    NewThreadsHeld worker(setup.pid(), threadsBefore);
    ASSERT_GT(worker.count(), 0u);
    ASSERT_FALSE(FileExists(samples + "\\" + big)) << "placed before its copy was seen";
    ASSERT_TRUE(setup.AwaitItemText(copying, IDC_COPYFILE, "Copying " + big));
    // The directory and its work folder are held: another program can rename neither.
    ASSERT_EQ(FoldersBelow(samples), std::vector<std::string>{"~vlvw000.tmp"});
    for (const std::string& held : {samples, samples + "\\~vlvw000.tmp"}) {
      EXPECT_FALSE(MoveFileA(held.c_str(), (root_ + "moved").c_str())) << held;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << held;
    }
    ASSERT_TRUE(setup.Press(copying, IDCANCEL));
  }
  // The dialog went at once; the rest of the install waited for the large file.
  HWND done = setup.AwaitMessageBox("Velvorine Install", 60000);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(FileSize(samples + "\\" + big), FileSize(source + big))
      << "the install went on while the large file was still being copied";
  // The files that Cancel left behind are counted.
  size_t left = order.size() - at - 1;
  ExpectLastWord(setup, "The installation has completed, but " + std::to_string(left) +
                            (left == 1 ? " file was" : " files were") + " not installed.");

  EXPECT_TRUE(SameContents(samples + "\\" + big, source + big));
  for (size_t i = 0; i < order.size(); ++i) {
    if (i < at) {
      EXPECT_EQ(ReadFileText(samples + "\\" + order[i]), ReadFileText(source + order[i]))
          << order[i] << " comes before the large file";
    } else if (i > at) {
      EXPECT_FALSE(FileExists(samples + "\\" + order[i])) << order[i] << " comes after it";
    }
  }
  ExpectCopied(media, "help", help);
  EXPECT_EQ(Value("ParamDirectory"), samples);
  EXPECT_EQ(Value("HelpFile"), help + "\\velvor.hlp");
  DeleteFileA((samples + "\\" + big).c_str());
  DeleteFileA((source + big).c_str());
}

// Three programs hold files: the image editor has the installed plug-in loaded as a module,
// a sync tool has a sample on the media open for writing, unshared, and a viewer has the
// installed help file open with read and write sharing but not delete. Each is named as
// in use (after a second's retries); Retry while the plug-in is loaded asks again; once it
// is unloaded, but the media's plug-in folder taken away meanwhile, the media are said to
// be unreadable, and Retry once they are back installs it; Ignore leaves the installed
// sample whole; Retry once the viewer has closed the help file installs it.
TEST_F(Install, FilesInUseAreNamedAndNothingInstalledIsLost) {
  std::string media = MakeMedia(root_, DefaultPayload());
  std::string plugin = root_ + "Plug-ins", samples = root_ + "Samples";
  std::string loaded = plugin + "\\velvor.8bf", canyon = samples + "\\canyon.jpg";
  char self[MAX_PATH];
  ASSERT_TRUE(GetModuleFileNameA(nullptr, self, MAX_PATH) && MakeDirs(plugin) && MakeDirs(samples));
  ASSERT_TRUE(CopyFileA(self, loaded.c_str(), FALSE));  // a real module, loaded whole
  ASSERT_TRUE(WriteFileText(canyon, "the installed canyon"));
  ASSERT_TRUE(WriteFileText(plugin + "\\velvor.hlp", "the installed help"));
  HMODULE module = LoadLibraryA(loaded.c_str());
  HANDLE writer = CreateFileA((media + "samples\\canyon.jpg").c_str(), GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  HANDLE viewer = CreateFileA((plugin + "\\velvor.hlp").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_TRUE(module && writer != INVALID_HANDLE_VALUE && viewer != INVALID_HANDLE_VALUE);
  SetupProcess setup(media);
  WalkToInstall(setup, {{true, true, true}, {plugin, samples, plugin}});
  const std::string inUse = " is in use by another program. Close that program, then click Retry.";
  for (int asked = 0; asked < 2; ++asked) {
    HWND box = AwaitQuestion(setup, loaded, "The file" + inUse);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(DefaultButton(box), IDRETRY);
    if (asked == 1) {
      FreeLibrary(module);
      ASSERT_TRUE(MoveFileA((media + "plugin").c_str(), (media + "plugin.away").c_str()));
    }
    ASSERT_TRUE(setup.Press(box, IDRETRY));
  }
  HWND box = AwaitQuestion(setup, loaded,
                           "The installation media cannot be read: " + media +
                               "plugin\\velvor.8bf\n\n" + SystemText(ERROR_PATH_NOT_FOUND) +
                               "\n\nPut the media back (the disc, drive or network folder that "
                               "setup was started from), then click Retry.");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(DefaultButton(box), IDRETRY);
  ASSERT_TRUE(MoveFileA((media + "plugin.away").c_str(), (media + "plugin").c_str()));
  ASSERT_TRUE(setup.Press(box, IDRETRY));
  box = AwaitQuestion(setup, canyon, media + "samples\\canyon.jpg" + inUse);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(setup.Press(box, IDIGNORE));
  box = AwaitQuestion(setup, plugin + "\\velvor.hlp", "The file" + inUse);
  ASSERT_NE(box, nullptr);
  CloseHandle(viewer);
  ASSERT_TRUE(setup.Press(box, IDRETRY));
  ExpectLastWord(setup, "The installation has completed, but 1 file was not installed.");
  CloseHandle(writer);
  EXPECT_EQ(ReadFileText(canyon), "the installed canyon");
  EXPECT_EQ(ReadFileText(loaded), ReadFileText(media + "plugin\\velvor.8bf"));
  ExpectCopied(media, "plugin", plugin);
  ExpectCopied(media, "help", plugin);
  ExpectNoReadOnlyNorLeftovers(plugin);
}

// Media copied from a disc are read-only. Installed twice, the second time from changed
// media over the first install's files: every file replaced, none read-only after either
// install; an installed file's other attributes (hidden here) stay as they were. Before
// the second, interrupted installs left work folders: one with a marker cut short and a
// copy, one with an empty marker (ended while writing it); both go. A user's file, and
// folders of like names, without the marker, with a marker of other text, or holding
// other files, stay as they were.
TEST_F(Install, ReadOnlyMediaInstallTwiceFromChangedMedia) {
  std::string media = MakeMedia(root_, DefaultPayload());
  std::string plugin = root_ + "Plug-ins", samples = root_ + "Samples", help = root_ + "Help";
  auto makeReadOnly = [&](const char* edition) {
    for (const MediaFile& f : DefaultPayload()) {
      std::string path = media + f.folder + "\\" + f.name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ASSERT_TRUE(WriteFileText(path, f.text + edition));
      ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    }
  };
  for (const char* edition : {" 1.0", " 1.1"}) {
    SCOPED_TRACE(edition);
    makeReadOnly(edition);
    DWORD hiddenBefore = GetFileAttributesA((help + "\\velvor.cnt").c_str());
    if (hiddenBefore != INVALID_FILE_ATTRIBUTES) {  // the second install: hide one file
      ASSERT_TRUE(SetFileAttributesA((help + "\\velvor.cnt").c_str(),
                                     hiddenBefore | FILE_ATTRIBUTE_HIDDEN));
      ASSERT_TRUE(MakeDirs(plugin + "\\~vlvw002.tmp") && MakeDirs(samples + "\\~vlvw000.tmp"));
      ASSERT_TRUE(WriteFileText(plugin + "\\~vlvw002.tmp\\~vlvmark.tmp", "Velvorine Set"));
      ASSERT_TRUE(MakeDirs(help + "\\~vlvw001.tmp") && MakeDirs(help + "\\~vlvw003.tmp"));
      ASSERT_TRUE(WriteFileText(help + "\\~vlvw001.tmp\\~vlvmark.tmp", ""));
      ASSERT_TRUE(WriteFileText(help + "\\~vlvw003.tmp\\~vlvmark.tmp",
                                "Velvorine Setup work folder\r\n"));
      ASSERT_TRUE(WriteFileText(help + "\\~vlvw003.tmp\\~vlv0001.tmp", "the user's"));
      ASSERT_TRUE(WriteFileText(help + "\\~vlvw003.tmp\\notes.txt", "the user's"));
      ASSERT_TRUE(MakeDirs(samples + "\\~vlvw001.tmp"));
      ASSERT_TRUE(WriteFileText(samples + "\\~vlvw001.tmp\\~vlvmark.tmp", "my own marker"));
      ASSERT_TRUE(WriteFileText(samples + "\\~vlvw001.tmp\\~vlv0000.tmp", "the user's"));
      ASSERT_TRUE(WriteFileText(plugin + "\\~vlvw002.tmp\\~vlv03a7.tmp", "cut short"));
      ASSERT_TRUE(WriteFileText(samples + "\\~vlvw000.tmp\\~vlv0000.tmp", "the user's"));
      ASSERT_TRUE(WriteFileText(plugin + "\\~vlvnote.tmp", "the user's"));
    }
    SetupProcess setup(media);
    WalkToInstall(setup, {{true, true, true}, {plugin, samples, help}});
    ExpectCompletion(setup);
    ExpectInstalled(media, plugin, samples, help);
    EXPECT_EQ(ReadFileText(plugin + "\\velvor.8bf"), std::string("filter plug-in") + edition);
    // The leftover went (below); the user's file and folder stay.
    if (hiddenBefore != INVALID_FILE_ATTRIBUTES) {
      EXPECT_EQ(ReadFileText(plugin + "\\~vlvnote.tmp"), "the user's");
      EXPECT_TRUE(DeleteFileA((plugin + "\\~vlvnote.tmp").c_str()));
      EXPECT_EQ(FoldersBelow(samples), (std::vector<std::string>{"~vlvw000.tmp", "~vlvw001.tmp"}));
      EXPECT_EQ(FilesIn(samples + "\\~vlvw000.tmp"), std::vector<std::string>{"~vlv0000.tmp"});
      EXPECT_EQ(ReadFileText(samples + "\\~vlvw000.tmp\\~vlv0000.tmp"), "the user's");
      EXPECT_EQ(ReadFileText(samples + "\\~vlvw001.tmp\\~vlv0000.tmp"), "the user's");
      EXPECT_EQ(ReadFileText(samples + "\\~vlvw001.tmp\\~vlvmark.tmp"), "my own marker");
      EXPECT_EQ(FoldersBelow(help), std::vector<std::string>{"~vlvw003.tmp"});
      EXPECT_EQ(FilesIn(help + "\\~vlvw003.tmp"),
                (std::vector<std::string>{"notes.txt", "~vlv0001.tmp", "~vlvmark.tmp"}));
      for (const std::string& d : {samples + "\\~vlvw000.tmp", samples + "\\~vlvw001.tmp",
                                   help + "\\~vlvw003.tmp"})
        RemoveTree(d);
    }
    for (const std::string& dir : {plugin, samples, help}) ExpectNoReadOnlyNorLeftovers(dir);
    if (hiddenBefore != INVALID_FILE_ATTRIBUTES) {
      EXPECT_EQ(GetFileAttributesA((help + "\\velvor.cnt").c_str()),
                (hiddenBefore | FILE_ATTRIBUTE_HIDDEN) & ~FILE_ATTRIBUTE_READONLY);
    }
  }
}

// Setup ended by force at several moments of the install step: as the first progress
// dialog appears, among the samples' files, and in the middle of a large file's copy. The next complete install leaves exactly the media's files: no
// temporary copy, work folder or marker stays.
TEST_F(Install, ForcedEndsLeaveNothingThatTheNextInstallKeeps) {
  std::vector<MediaFile> payload = DefaultPayload();
  for (int i = 0; i < 30; ++i)
    payload.push_back({"samples", "photo" + std::to_string(i) + ".jpg", "photo " + std::to_string(i)});
  std::string media = MakeMedia(root_, payload);
  ASSERT_TRUE(WriteFileOfSize(media + "help\\large.bin", 256ll << 20));
  std::string plugin = root_ + "Plug-ins", samples = root_ + "Samples", help = root_ + "Help";
  const Choice all = {{true, true, true}, {plugin, samples, help}};
  for (int moment = 0; moment < 3; ++moment) {
    SCOPED_TRACE("moment " + std::to_string(moment));
    SetupProcess setup(media);
    WalkToInstall(setup, all);
    // A progress dialog showing this text on one of its lines (whichever component's; a
    // dialog may go between its finding and its reading).
    auto awaitShown = [&](int id, const std::string& text) {
      for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(5)) {
        HWND d = setup.Find("#32770", "Installing Files", IDC_COPYFILE);
        HWND line = d ? GetDlgItem(d, id) : nullptr;
        if (line && TextOf(line) == text) return true;
      }
      return false;
    };
    ASSERT_NE(setup.AwaitCopyDialog(), nullptr);
    if (moment == 1) {
      ASSERT_TRUE(awaitShown(IDC_COPYDEST, "to " + samples));
    } else if (moment == 2) {
      ASSERT_TRUE(awaitShown(IDC_COPYFILE, "Copying large.bin"));
    }
    ASSERT_TRUE(TerminateProcess(setup.handle(), 1));
    ASSERT_EQ(WaitForSingleObject(setup.handle(), kWait), WAIT_OBJECT_0);
  }
  SetupProcess setup(media);
  WalkToInstall(setup, all);
  ExpectCompletion(setup, 120000);
  ExpectInstalled(media, plugin, samples, help);
  for (const char* folder : {"plugin", "samples", "help"}) {
    const std::string& dir = folder[0] == 'p' ? plugin : folder[0] == 's' ? samples : help;
    EXPECT_EQ(FilesIn(dir), FilesIn(media + folder)) << dir;
    ExpectNoReadOnlyNorLeftovers(dir);
  }
  DeleteFileA((help + "\\large.bin").c_str());
  DeleteFileA((media + "help\\large.bin").c_str());
}

// A tmpfs of 1.5 MiB mounted (as root) and mapped as the prefix's drive T:, through the
// Unix shell that Wine starts like any program. When it cannot be had, why() says what
// went wrong: the shell's errors, its status and the user it ran as.
class SmallDrive {
 public:
  SmallDrive() {
    Shell("d=\"$WINEPREFIX/../small-drive\"; e=\"$WINEPREFIX/drive_c/velvor-shell.err\"; "
          "{ mkdir -p \"$d\" && "
          "{ mountpoint -q \"$d\" || mount -t tmpfs -o size=1536k velvor-small \"$d\"; } && "
          "ln -sfn \"$d\" \"$WINEPREFIX/dosdevices/t:\"; } 2>\"$e\"; "
          "echo \"status $? as user $(id -u)\" >>\"$e\"");
    ULARGE_INTEGER free, total;
    if (!GetDiskFreeSpaceExA("T:\\", &free, &total, nullptr))
      why_ += "; T: cannot be read, error " + std::to_string(GetLastError());
    else if (total.QuadPart > (2u << 20))
      why_ += "; T: has " + std::to_string(total.QuadPart) + " bytes, not the small drive's";
    else
      mounted_ = true;
  }
  ~SmallDrive() {
    Shell("rm -f \"$WINEPREFIX/dosdevices/t:\"; d=\"$WINEPREFIX/../small-drive\"; "
          "! mountpoint -q \"$d\" || umount \"$d\" || umount -l \"$d\"");
  }
  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }
  // The mount was refused for want of rights: run as another user than root, or refused
  // by the system as not permitted (a container without the right to mount, say).
  bool refusedForRights() const {
    std::string text = Lower(why_);
    if (text.find("status ") == std::string::npos) return false;  // the shell never said
    for (const char* said : {"permission denied", "must be superuser", "not permitted",
                             "only root"})
      if (text.find(said) != std::string::npos) return true;
    return text.find("as user 0") == std::string::npos;
  }

 private:
  // Runs script and waits until it has ended: the handle of a Unix process started by
  // Wine is no use to wait on, so the script leaves a mark on drive C: at its end. What
  // it wrote to C:\velvor-shell.err is kept in why_.
  void Shell(const std::string& script) {
    const char kMark[] = "C:\\velvor-shell.done", kErrors[] = "C:\\velvor-shell.err";
    DeleteFileA(kMark);
    DeleteFileA(kErrors);
    std::string all = script + "; : > \"$WINEPREFIX/drive_c/velvor-shell.done\"";
    // Quoted by the platform's rules, which Wine follows to split the command line.
    std::string command = "/bin/sh -c \"";
    for (char c : all) command += c == '"' ? std::string("\\\"") : std::string(1, c);
    command += '"';
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
      why_ = "/bin/sh could not be started, error " + std::to_string(GetLastError());
      return;
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    DWORD start = GetTickCount();
    while (!FileExists(kMark) && GetTickCount() - start < kWait) Sleep(10);
    why_ = FileExists(kMark) ? ReadFileText(kErrors) : "the shell did not end within " +
                                                           std::to_string(kWait) + " ms";
    while (!why_.empty() && strchr("\r\n", why_.back())) why_.pop_back();
    DeleteFileA(kMark);
    DeleteFileA(kErrors);
  }
  bool mounted_ = false;
  std::string why_;
};

// The plug-in's drive fills up: the file that no longer fits is named with the system's
// reason, and nothing of it stays: a new file is not there, a replaced one keeps its old
// bytes, and no temporary copy is left. The rest of the install goes on.
TEST_F(Install, ADriveThatFillsUpLeavesNoDamagedFile) {
  SmallDrive drive;
  if (!drive.mounted() && drive.refusedForRights())
    GTEST_SKIP() << "no small drive could be mounted, for want of rights (a 1.5 MiB tmpfs "
                    "as T: needs root): "
                 << drive.why();
  ASSERT_TRUE(drive.mounted()) << "the small drive could not be set up: " << drive.why();
  std::vector<MediaFile> payload = DefaultPayload();
  std::string media = MakeMedia(root_, payload);
  // 700 KiB and 1 MiB: whichever comes second does not fit in 1.5 MiB.
  ASSERT_TRUE(WriteFileOfSize(media + "plugin\\velvor.8bf", 700 << 10));
  ASSERT_TRUE(WriteFileOfSize(media + "plugin\\filters.dat", 1 << 20));
  std::string plugin = "T:\\Plug-ins", samples = root_ + "Samples", help = root_ + "Help";
  RemoveTree(plugin);
  ASSERT_TRUE(MakeDirs(plugin));
  ASSERT_TRUE(WriteFileText(plugin + "\\velvor.8bf", "an older plug-in"));

  SetupProcess setup(media);
  WalkToInstall(setup, {{true, true, true}, {plugin, samples, help}});
  HWND box = setup.AwaitMessageBox("Velvorine Install");
  ASSERT_NE(box, nullptr);
  std::string question = MessageText(box);
  std::string lost =
      question.find("velvor.8bf") != std::string::npos ? "velvor.8bf" : "filters.dat";
  std::string kept = lost == "velvor.8bf" ? "filters.dat" : "velvor.8bf";
  EXPECT_EQ(question, "Could not install " + plugin + "\\" + lost + "\n\n" +
                          SystemText(ERROR_DISK_FULL));
  ASSERT_TRUE(setup.Press(box, IDIGNORE));
  ExpectLastWord(setup, "The installation has completed, but 1 file was not installed.");

  EXPECT_TRUE(SameContents(plugin + "\\" + kept, media + "plugin\\" + kept));
  if (lost == "velvor.8bf")
    EXPECT_EQ(ReadFileText(plugin + "\\velvor.8bf"), "an older plug-in");
  else
    EXPECT_FALSE(FileExists(plugin + "\\filters.dat")) << "a partial file was left";
  std::vector<std::string> there = {"readme.txt", "velvor.8bf"};  // no temporary copy
  if (lost != "filters.dat") there.insert(there.begin(), "filters.dat");
  EXPECT_EQ(FilesIn(plugin), there);
  ExpectCopied(media, "samples", samples);
  ExpectCopied(media, "help", help);
  EXPECT_EQ(Value("ParamDirectory"), samples);
  EXPECT_EQ(Value("HelpFile"), help + "\\velvor.hlp");
  RemoveTree(plugin);
}

// A help directory that leaves no room for the name of a help file: the page names the
// file, and one that leaves room for it takes every file. Long directories take every
// file without a question, whether a work folder fits in them or not.
TEST_F(Install, ALongDirectoryNamesTheFilesThatDoNotFit) {
  std::vector<MediaFile> payload = DefaultPayload();
  payload.push_back({"help", "ok.txt", "a short name"});
  payload.push_back({"help", "a-longer-name.txt", "17 characters"});
  std::string media = MakeMedia(root_, payload);
  // 246 characters for the plug-in's files, whose longest names are shorter than the
  // copy's temporary names (12); 241 for the help: "\a-longer-name.txt" and the
  // terminator make 260 bytes. 234 for the samples, the longest without room for a work
  // folder: with a temporary name in it and the terminator, 261 bytes.
  std::string plugin = root_ + std::string(246 - root_.size(), 'p');
  std::string samples = root_ + std::string(234 - root_.size(), 's');
  std::string help = root_ + std::string(241 - root_.size(), 'h');
  SetupProcess setup(media);
  HWND page = nullptr;
  WalkToLastPage(setup, {{true, true, true}, {plugin, samples, help + "h"}}, &page);
  ASSERT_FALSE(HasFatalFailure());
  Click(page, IDOK);
  HWND box = setup.AwaitMessageBox("Velvorine Install");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageText(box),
            "The directory is too long for the file a-longer-name.txt to fit behind it: a "
            "file's full path can have at most 259 characters, fewer when they are not English "
            "letters. Type a shorter one.");
  ASSERT_TRUE(setup.Press(box, IDOK));
  SetItemText(page, IDC_DIRECTORY, help);
  ASSERT_TRUE(setup.Press(page, IDOK));
  ExpectCompletion(setup);
  EXPECT_EQ(FilesIn(help), (std::vector<std::string>{"a-longer-name.txt", "ok.txt",
                                                     "velvor.cnt", "velvor.hlp"}));
  // Neither has room for a work folder: nothing of the program's stays in them.
  for (const std::string& dir : {plugin, samples})
    EXPECT_EQ(FoldersBelow(dir), std::vector<std::string>{}) << "a work folder was left";
  ExpectCopied(media, "plugin", plugin);
  ExpectCopied(media, "samples", samples);
  EXPECT_EQ(Value("ParamDirectory"), samples);
  EXPECT_EQ(Value("HelpFile"), help + "\\velvor.hlp");
}

// The product key exists with an empty access list, so that no value can be written in
// it, and a subfolder of the media is passed over: the last word says both.
TEST_F(Install, ValuesThatCannotBeRecordedAreSaid) {
  std::string media = MakeMedia(root_, DefaultPayload());
  ASSERT_TRUE(MakeDirs(media + "samples\\extras"));
  std::string plugin = root_ + "Plug-ins", samples = root_ + "Samples";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SECURITY_DESCRIPTOR locked;
  ACL none;
  ASSERT_TRUE(InitializeSecurityDescriptor(&locked, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(InitializeAcl(&none, sizeof none, ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&locked, TRUE, &none, FALSE));
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &locked), ERROR_SUCCESS);
  RegCloseKey(key);

  SetupProcess setup(media);
  WalkToInstall(setup, {{true, true, true}, {plugin, samples, plugin}});
  HWND box = AwaitQuestion(setup, samples + "\\extras",
                           media + "samples\\extras is a folder; folders are not installed.");
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(setup.Press(box, IDIGNORE));
  ExpectLastWord(setup,
                 "The installation has completed, but 1 file was not installed.\n"
                 "The installation has completed, but the plug-in's settings could not be "
                 "recorded in the registry.");
  ExpectCopied(media, "plugin", plugin);
  ExpectCopied(media, "samples", samples);
  ExpectCopied(media, "help", plugin);
  EXPECT_FALSE(DirExists(samples + "\\extras"));
  EXPECT_EQ(Value("ParamDirectory"), "<missing>");
  EXPECT_EQ(Value("HelpFile"), "<missing>");
}

}  // namespace
