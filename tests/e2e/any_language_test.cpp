// Folders and files named outside the Western code page, in a run whose locale gives 1252.
// setup.exe declares UTF-8 as its code page; this driver links the same manifest, so the
// UTF-8 names written here are the bytes that both see. The legacy build lacks the
// declaration, as a system that ignores it runs setup.exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdlib.h>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr const char* kPages[] = {"Velvorine Plugin", "Sample Files", "On-line Help Files"};
constexpr const char* kSources[] = {"plugin", "samples", "help"};

class AnyLanguage : public testing::Test {
 protected:
  void SetUp() override {
    DeleteProductKey();
    root_ = ScratchDir();
    wroot_.assign(root_.begin(), root_.end());  // ASCII
    editor_ = root_ + "Редактор Ωμέγα\\";
    ASSERT_TRUE(MakeDirs(editor_ + "plugins"));
    SetEditorCommand(4, "\"" + editor_ + "editor.exe\" \"%1\"");
  }
  void TearDown() override {
    DeleteProductKey();
    SetEditorCommand(4, "");
  }
  static std::wstring ValueAsUnicode(const wchar_t* name) {
    wchar_t value[1024];
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_LOCAL_MACHINE, L"software\\Brontavia\\Velvorine", name,
                        RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS
               ? value : L"<missing>";
  }
  std::string root_, editor_;
  std::wstring wroot_;
};

TEST_F(AnyLanguage, ExactlyTheNamedFoldersFilesAndValues) {
  std::vector<MediaFile> payload = DefaultPayload();
  payload.push_back({"samples", "Пример ω.txt", "пример"});
  const std::string media = MakeMedia(root_ + "Установка\\", payload);
  const std::string dirs[3] = {root_ + "Ωmega Plug-ins", root_ + "Примеры\\Ωμέγα",
                               root_ + "Справка"};
  SetupProcess setup(media);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(setup.Press(page, IDOK));
  for (int i = 0; i < 3; ++i) {
    page = setup.AwaitDirectoryPage(kPages[i]);
    ASSERT_NE(page, nullptr);
    if (i == 0) {
      EXPECT_EQ(ItemText(page, IDC_DIRECTORY), editor_ + "plugins");
      // Fewer than 259 characters, more than 259 bytes: refused, not cut.
      std::string omegas;
      for (int n = 0; n < 100; ++n) omegas += "Ω";
      SetItemText(page, IDC_DIRECTORY, root_ + omegas);
      Click(page, IDOK);
      HWND box = setup.AwaitMessageBox("Velvorine Install");
      ASSERT_NE(box, nullptr);
      EXPECT_NE(MessageText(box).find("at most 259 bytes"), std::string::npos);
      ASSERT_TRUE(setup.Press(box, IDOK));
    }
    SetItemText(page, IDC_DIRECTORY, dirs[i]);
    ASSERT_TRUE(setup.Press(page, IDOK));
  }
  ExpectCompletedAndExit(setup);

  std::vector<std::string> folders = FoldersBelow(root_ + "Установка");
  for (std::string& f : folders) f = "Установка\\" + f;
  folders.insert(folders.end(), {"Установка", "Редактор Ωμέγα", "Редактор Ωμέγα\\plugins",
                                 "Ωmega Plug-ins", "Примеры", "Примеры\\Ωμέγα", "Справка"});
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(FoldersBelow(root_), folders);  // no look-alike beside them
  for (int i = 0; i < 3; ++i) {
    std::string source = media + kSources[i];
    ASSERT_EQ(FilesIn(dirs[i]), FilesIn(source)) << dirs[i];
    for (const std::string& name : FilesIn(source))
      EXPECT_EQ(ReadFileText(dirs[i] + "\\" + name), ReadFileText(source + "\\" + name));
  }
  EXPECT_EQ(ValueAsUnicode(L"ParamDirectory"), wroot_ + L"Примеры\\Ωμέγα");
  EXPECT_EQ(ValueAsUnicode(L"HelpFile"), wroot_ + L"Справка\\velvor.hlp");
}

TEST_F(AnyLanguage, WhereTheLegacyCodePageRulesNoLookAlikeIsUsed) {
  const std::string utf8Setup = SetupExe();
  SetSetupExe(getenv("VELVOR_LEGACY_SETUP"));
  const std::string media = MakeMedia(root_, DefaultPayload());
  const std::string outside = MakeMedia(root_ + "Установка\\", DefaultPayload());
  SetSetupExe(utf8Setup);
  const std::string held = " (U+0423), a character that this system's code page (1252) cannot hold";
  {
    SetupProcess setup(outside);
    HWND box = setup.AwaitMessageBox("Velvorine Install");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "Setup cannot run from this folder, because its path holds \"У\"" +
                                    held + ":\n\n" + outside +
                                    "\n\nMove the setup files to a folder without such "
                                    "characters and run setup again.");
    ASSERT_TRUE(setup.Press(box, IDOK));
    ExpectExitZero(setup);
  }
  SetupProcess setup(media);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(setup.Press(page, IDOK));
  page = setup.AwaitDirectoryPage(kPages[0]);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ItemText(page, IDC_DIRECTORY), "");  // the editor's folder would be a look-alike
  SetItemText(page, IDC_DIRECTORY, root_ + "Ωmega Plug-ins");
  Click(page, IDOK);
  HWND box = setup.AwaitMessageBox("Velvorine Install");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageText(box), "The directory holds \"Ω\" (U+03A9), a character that this "
                              "system's code page (1252) cannot hold: setup would make a "
                              "folder of another name. Type a directory without it.");
  ASSERT_TRUE(setup.Press(box, IDOK));
  ExpectCancelledAndExit(setup, page);
  EXPECT_FALSE(DirExists(root_ + "Omega Plug-ins"));
  EXPECT_FALSE(DirExists(root_ + "Ωmega Plug-ins"));
}

}  // namespace
