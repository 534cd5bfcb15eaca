// Folders and files named outside code page 1252, the one of this run's locale. setup.exe
// declares UTF-8 as its code page, and so does this driver (it links setup.exe's manifest):
// the UTF-8 names here are the bytes both see, and registry values, stored as UTF-16, read
// back in them (the code-page scenario reads them in 1252, as their readers do). The legacy
// build lacks the declaration, as on a system that ignores it.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdlib.h>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr const char* kPages[] = {"Velvorine Plugin", "Sample Files", "On-line Help Files"};
constexpr const char* kSources[] = {"plugin", "samples", "help"};
const std::string kUnheld = "a character that this system's code page (1252) cannot hold";

class AnyLanguage : public testing::Test {
 protected:
  void SetUp() override {
    root_ = ScratchDir();  // the editor registered in a folder named outside 1252
    ASSERT_TRUE(MakeDirs(root_ + "Редактор Ωμέγα\\plugins"));
    SetEditorCommand(4, "\"" + root_ + "Редактор Ωμέγα\\editor.exe\" \"%1\"");
  }
  void TearDown() override {
    DeleteProductKey();
    SetEditorCommand(4, "");
  }
  // The plug-in page, proposing this directory; nullptr when it does not come.
  static HWND PluginPage(SetupProcess& setup, const std::string& proposed) {
    HWND page = setup.AwaitComponentPage();
    if (!page || !setup.Press(page, IDOK)) return nullptr;
    page = setup.AwaitDirectoryPage(kPages[0]);
    EXPECT_EQ(page ? ItemText(page, IDC_DIRECTORY) : "<no page>", proposed);
    return page;
  }
  // Next with this text is refused by a message that says so; the page stays.
  static void Refused(SetupProcess& setup, HWND page, const std::string& text,
                      const std::string& message) {
    SetItemText(page, IDC_DIRECTORY, text);
    Click(page, IDOK);
    HWND box = setup.AwaitMessageBox("Velvorine Install");
    ASSERT_NE(box, nullptr) << text << " was taken";
    EXPECT_NE(MessageText(box).find(message), std::string::npos) << MessageText(box);
    ASSERT_TRUE(setup.Press(box, IDOK));
  }
  std::string root_;
};

TEST_F(AnyLanguage, ExactlyTheNamedFoldersFilesAndValues) {
  std::vector<MediaFile> payload = DefaultPayload();
  payload.push_back({"samples", "Пример ω.txt", "пример"});
  const std::string media = MakeMedia(root_ + "Установка\\", payload);
  // The plug-in's directory is written nowhere; the others are read by programs that work
  // in the system's code page, which holds "é" but not "П".
  const std::string dirs[3] = {root_ + "Примеры\\Ωμέγα", root_ + "Café Samples",
                               root_ + "Café Help"};
  std::vector<std::string> folders = FoldersBelow(root_);
  folders.insert(folders.end(), {"Café Help", "Café Samples", "Примеры", "Примеры\\Ωμέγα"});
  std::sort(folders.begin(), folders.end());

  SetupProcess setup(media);
  HWND page = PluginPage(setup, root_ + "Редактор Ωμέγα\\plugins");
  ASSERT_NE(page, nullptr);
  std::string omegas;  // fewer than 246 characters, more than 246 bytes: never cut
  for (int i = 0; i < 125; ++i) omegas += "Ω";
  Refused(setup, page, root_ + omegas, "at most 246 characters, fewer when they are not English");
  for (int i = 0; i < 3; ++i) {
    if (i > 0) page = setup.AwaitDirectoryPage(kPages[i]);
    ASSERT_NE(page, nullptr);
    if (i > 0)
      Refused(setup, page, root_ + "Примеры",
              "The directory holds \"П\" (U+041F), " + kUnheld +
                  ": the plug-in reads this folder's name in the system's code page, and would "
                  "not find it. Type a directory without it.");
    SetItemText(page, IDC_DIRECTORY, dirs[i]);
    ASSERT_TRUE(setup.Press(page, IDOK));
  }
  ExpectCompletedAndExit(setup);

  EXPECT_EQ(FoldersBelow(root_), folders);  // and no look-alike beside them
  for (int i = 0; i < 3; ++i) {
    const std::string source = media + kSources[i] + "\\";
    EXPECT_EQ(FilesIn(dirs[i]), FilesIn(source));
    for (const std::string& name : FilesIn(source))
      EXPECT_EQ(ReadFileText(dirs[i] + "\\" + name), ReadFileText(source + name)) << name;
  }
  std::string value;
  EXPECT_TRUE(ReadProductValue("ParamDirectory", &value) && value == dirs[1]) << value;
  EXPECT_TRUE(ReadProductValue("HelpFile", &value) && value == dirs[2] + "\\velvor.hlp")
      << value;
}

TEST_F(AnyLanguage, WhereTheLegacyCodePageRulesNoLookAlikeIsUsed) {
  const std::string setupInUtf8 = SetupExe();
  SetSetupExe(getenv("VELVOR_LEGACY_SETUP"));
  const std::string media = MakeMedia(root_, DefaultPayload());
  const std::string outside = MakeMedia(root_ + "Установка\\", DefaultPayload());
  SetSetupExe(setupInUtf8);
  {
    SetupProcess setup(outside);  // said, and nothing more
    HWND box = setup.AwaitMessageBox("Velvorine Install");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(MessageText(box).find("its path holds \"У\" (U+0423), " + kUnheld + ":\n\n" +
                                    outside + "\n\nMove"), std::string::npos);
    ASSERT_TRUE(setup.Press(box, IDOK));
    ExpectExitZero(setup);
  }
  SetupProcess setup(media);
  HWND page = PluginPage(setup, "");  // the editor's folder would be read as a look-alike
  ASSERT_NE(page, nullptr);
  Refused(setup, page, root_ + "Ωmega Plug-ins",
          "The directory holds \"Ω\" (U+03A9), " + kUnheld +
              ": setup would make a folder of another name. Type a directory without it.");
  // Windows reads the code page's superscripts as digits of device names.
  for (const char* device : {"LPT²", "COM¹"})
    Refused(setup, page, root_ + "Plug-ins\\" + device,
            std::string("cannot contain a folder named ") + device + ": Windows keeps");
  ExpectCancelledAndExit(setup, page);
  EXPECT_FALSE(DirExists(root_ + "Omega Plug-ins"));
}

}  // namespace
