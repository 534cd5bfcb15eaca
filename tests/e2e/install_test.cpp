// The install step seen from outside: directories, copied files, registry values,
// messages and the progress dialog of the real setup.exe.
#include <gtest/gtest.h>

#include <algorithm>
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

  // From the component page to the install step: the boxes, then each chosen page with
  // its directory typed in. Returns once the last page has gone.
  void WalkToInstall(SetupProcess& setup, const Choice& c) {
    HWND page = setup.AwaitComponentPage();
    ASSERT_NE(page, nullptr);
    for (int i = 0; i < 3; ++i) SetChecked(page, kComponentBoxes[i], c.want[i]);
    ASSERT_TRUE(setup.Press(page, IDOK));
    for (int i = 0; i < 3; ++i) {
      if (!c.want[i]) continue;
      HWND dir = setup.AwaitDirectoryPage(kDisplayNames[i]);
      ASSERT_NE(dir, nullptr);
      SetItemText(dir, IDC_DIRECTORY, c.dir[i]);
      ASSERT_TRUE(setup.Press(dir, IDOK));
    }
  }
  void ExpectCompletion(SetupProcess& setup, DWORD ms = kWait) {
    HWND done = setup.AwaitMessageBox("Velvorine Install", ms);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageText(done), "The installation has completed successfully.");
    ASSERT_TRUE(setup.Press(done, IDOK));
    ExpectExitZero(setup);
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
  void ExpectExitZero(SetupProcess& setup) {
    DWORD code = 1;
    ASSERT_TRUE(setup.AwaitExit(&code));
    EXPECT_EQ(code, 0u);
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

  ExpectCopied(media, "plugin", plugin);
  ExpectCopied(media, "samples", samples);
  ExpectCopied(media, "help", plugin);
  EXPECT_EQ(FilesIn(plugin), (std::vector<std::string>{"readme.txt", "velvor.8bf", "velvor.cnt",
                                                       "velvor.hlp"}));
  EXPECT_EQ(FilesIn(samples), (std::vector<std::string>{"canyon.jpg", "sunset.jpg"}));
  EXPECT_EQ(Value("ParamDirectory"), samples);
  EXPECT_EQ(Value("HelpFile"), plugin + "\\velvor.hlp");
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
  // Only the plug-in's folder in the media; the samples and the help files are chosen.
  std::vector<MediaFile> payload;
  for (const MediaFile& f : DefaultPayload())
    if (f.folder == "plugin") payload.push_back(f);
  std::string media = MakeMedia(root_, payload);
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
  EXPECT_EQ(Value("HelpFile"), help + "\\velvor.hlp");
}

// Cancel while a large file is being copied: that file is finished, no later file of the
// component is copied, and the installation goes on with the next component and both
// registry values.
TEST_F(Install, CancelDuringALargeFileFinishesItAndGoesOnWithTheNextComponent) {
  std::vector<MediaFile> payload = DefaultPayload();
  for (int i = 0; i < 8; ++i)
    payload.push_back({"samples", "photo" + std::to_string(i) + ".jpg", "photo " + std::to_string(i)});
  std::string media = MakeMedia(root_, payload);
  // The large file somewhere in the middle of the listing, so that files follow it.
  std::string source = media + "samples\\", big = "large.tif";
  // Large enough that its copy outlasts the rest of the install by far.
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
  WalkToInstall(setup, {{false, true, true}, {"", samples, help}});
  HWND copying = setup.AwaitCopyDialog();
  ASSERT_NE(copying, nullptr);
  EXPECT_EQ(GetWindow(copying, GW_OWNER), setup.MainWindow());
  ASSERT_TRUE(setup.AwaitItemText(copying, IDC_COPYFILE, "Copying " + big));
  // The second line follows the first at once; then the copy of the large file begins.
  ASSERT_TRUE(setup.AwaitItemText(copying, IDC_COPYDEST, "to " + samples + "\\" + big));
  ASSERT_TRUE(setup.Press(copying, IDCANCEL));
  // The dialog went at once; the rest of the install waited for the large file.
  HWND done = setup.AwaitMessageBox("Velvorine Install", 60000);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(FileSize(samples + "\\" + big), FileSize(source + big))
      << "the install went on while the large file was still being copied";
  ExpectCompletion(setup);

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

}  // namespace
