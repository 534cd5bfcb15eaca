// Destinations named in the system's ANSI code page. ctest runs this program in 1252
// (Western) and in 932 (Japanese), where 表, ソ and 能 end in 0x5C, the byte of the
// backslash, which must never be taken for one. The driver runs in the same code page as
// setup.exe, so the names it types, lists and reads back are the bytes setup.exe sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr const char* kPages[] = {"Velvorine Plugin", "Sample Files", "On-line Help Files"};
constexpr const char* kSources[] = {"plugin", "samples", "help"};

// One install: the directory typed on each page (relative to the scratch folder, UTF-8 as
// written here), the folders that exist before it, and every folder it must add.
struct Install {
  const char* typed[3];
  std::vector<const char*> existing;
  std::vector<const char*> made;
};

struct CodePageNames {
  UINT codePage;
  // Characters the test is about, with their bytes in the code page.
  std::vector<std::pair<const char*, const char*>> bytes;
  Install installs[2];
  const char* browsed;  // an existing folder that Browse moves to
};

const CodePageNames kNames[] = {
    {932,
     {{"表", "\x95\x5C"}, {"ソ", "\x83\x5C"}, {"能", "\x94\x5C"}},
     {// New: one level, one typed with a trailing backslash, and two missing levels.
      {{"表", "新しい能\\", "ソ\\サンプル表"}, {}, {"表", "新しい能", "ソ", "ソ\\サンプル表"}},
      // Existing, with and without a trailing backslash; two missing levels with one.
      {{"データ表\\", "ソフト能", "ア\\イソ\\"}, {"データ表", "ソフト能"}, {"ア", "ア\\イソ"}}},
     "ソフト能"},
    {1252,
     {{"é", "\xE9"}, {"Ü", "\xDC"}},
     {{{"Café", "Über\\", "Programme\\Café Über"}, {}, {"Café", "Über", "Programme",
                                                       "Programme\\Café Über"}},
      {{"Gerät\\", "Möbel", "Straße\\Größe\\"}, {"Gerät", "Möbel"}, {"Straße", "Straße\\Größe"}}},
     "Möbel"},
};

class CodePage : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InCodePageAskedFor());
    for (const CodePageNames& n : kNames)
      if (n.codePage == GetACP()) names_ = &n;
    ASSERT_NE(names_, nullptr) << "no names for code page " << GetACP();
    for (const auto& [text, bytes] : names_->bytes) ASSERT_EQ(Ansi(text), bytes) << text;
    DeleteProductKey();
    root_ = ScratchDir();
    media_ = MakeMedia(root_, DefaultPayload());
  }
  void TearDown() override { DeleteProductKey(); }

  // The whole install with these directories typed in, up to the program's end.
  void InstallInto(const std::string (&dirs)[3]) {
    SetupProcess setup(media_);
    HWND page = setup.AwaitComponentPage();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(setup.Press(page, IDOK));  // all three are chosen at the start
    for (int i = 0; i < 3; ++i) {
      page = setup.AwaitDirectoryPage(kPages[i]);
      ASSERT_NE(page, nullptr);
      SetItemText(page, IDC_DIRECTORY, dirs[i]);
      ASSERT_TRUE(setup.Press(page, IDOK));
    }
    ExpectCompletedAndExit(setup);
  }
  static std::string Value(const char* name) {
    std::string v;
    return ReadProductValue(name, &v) ? v : "<missing>";
  }
  static std::vector<std::string> TopOfDriveC() {
    std::vector<std::string> names = SearchOrder("C:\\");
    std::sort(names.begin(), names.end());
    return names;
  }

  const CodePageNames* names_ = nullptr;
  std::string root_, media_;
};

TEST_F(CodePage, ExactlyTheTypedFoldersAreMadeAndFilledAndRecorded) {
  const std::vector<std::string> top = TopOfDriveC();
  for (const Install& run : names_->installs) {
    SCOPED_TRACE(run.typed[0]);
    DeleteProductKey();
    for (const char* dir : run.existing) ASSERT_TRUE(MakeDirs(root_ + Ansi(dir))) << dir;
    std::vector<std::string> folders = FoldersBelow(root_);
    for (const char* dir : run.made) folders.push_back(Ansi(dir));
    std::sort(folders.begin(), folders.end());

    std::string dirs[3];
    for (int i = 0; i < 3; ++i) dirs[i] = root_ + Ansi(run.typed[i]);
    InstallInto(dirs);

    // By their bytes: a name cut in half would show as another or a missing folder.
    EXPECT_EQ(FoldersBelow(root_), folders);
    for (int i = 0; i < 3; ++i) {
      std::string source = media_ + kSources[i];
      EXPECT_EQ(FilesIn(dirs[i]), FilesIn(source)) << dirs[i];
      for (const std::string& name : FilesIn(source))
        EXPECT_EQ(ReadFileText(WithoutSlash(dirs[i]) + "\\" + name),
                  ReadFileText(source + "\\" + name))
            << name << " in " << dirs[i];
    }
    EXPECT_EQ(Value("ParamDirectory"), dirs[1]);
    EXPECT_EQ(Value("HelpFile"), dirs[2] + "\\velvor.hlp");
  }
  EXPECT_EQ(TopOfDriveC(), top) << "a folder appeared at the top of drive C";
}

TEST_F(CodePage, BrowseToSuchAFolderFillsTheEditBoxWithItsName) {
  const std::string browsed = Ansi(names_->browsed);
  ASSERT_TRUE(MakeDirs(root_ + browsed));
  SetupProcess setup(media_);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(setup.Press(page, IDOK));
  HWND plugin = setup.AwaitDirectoryPage(kPages[0]);
  ASSERT_NE(plugin, nullptr);
  // Nothing stored yet: the dialog opens where the program was started, in the media.
  Click(plugin, IDC_BROWSE);
  HWND browse = setup.AwaitBrowseDialog(plugin);
  ASSERT_NE(browse, nullptr);
  EXPECT_TRUE(OpenDirectoryEntry(browse, "[..]"));
  EXPECT_TRUE(OpenDirectoryEntry(browse, "[" + browsed + "]"));
  ASSERT_TRUE(setup.Press(browse, IDOK));
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), root_ + browsed);

  // Next stores those bytes: the help page proposes the plug-in's directory.
  ASSERT_TRUE(setup.Press(plugin, IDOK));
  HWND samples = setup.AwaitDirectoryPage(kPages[1]);
  ASSERT_NE(samples, nullptr);
  ASSERT_TRUE(setup.Press(samples, IDOK));
  HWND help = setup.AwaitDirectoryPage(kPages[2]);
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(ItemText(help, IDC_DIRECTORY), root_ + browsed);
  ExpectCancelledAndExit(setup, help);
}

}  // namespace
