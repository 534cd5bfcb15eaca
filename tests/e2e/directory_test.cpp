// The directory pages, their defaults and the Browse dialog, seen from outside.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

class Directories : public testing::Test {
 protected:
  void SetUp() override {
    DeleteProductKey();
    SetEditorCommand(4, "");
    SetEditorCommand(3, "");
    scratch_ = ScratchDir();
    media_ = MakeMedia(scratch_, DefaultPayload());
  }
  void TearDown() override {
    SetEditorCommand(4, "");
    SetEditorCommand(3, "");
  }
  // An editor in the scratch folder, registered with its open command; its plug-in folder.
  std::string RegisterEditor() {
    std::string editor = scratch_ + "Editor";
    MakeDirs(editor + "\\plugins");
    SetEditorCommand(4, "\"" + editor + "\\Photoshp.exe\" \"%1\"");
    return editor + "\\plugins";
  }
  static std::string SamplesDefault() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(1, windows[0]) + ":\\Program Files\\Brontavia\\Velvorine";
  }
  // From the component page, with every component chosen, on to the plug-in page.
  HWND StartToPluginPage(SetupProcess& setup) {
    HWND page = setup.AwaitComponentPage();
    if (!page || !setup.Press(page, IDOK)) return nullptr;
    return setup.AwaitDirectoryPage("Velvorine Plugin");
  }
  // Presses a page's button and awaits the directory page of the next component.
  HWND Move(SetupProcess& setup, HWND page, int button, const char* nextPage) {
    if (!setup.Press(page, button)) return nullptr;
    return setup.AwaitDirectoryPage(nextPage);
  }
  void AnswerCancel(SetupProcess& setup, int answer) {
    HWND box = setup.AwaitMessageBox("Velvorine Install");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "Are you sure you wish to cancel this installation?");
    ASSERT_TRUE(setup.Press(box, answer));
  }
  std::string scratch_, media_;
};

TEST_F(Directories, EachPageNamesItsComponentAndProposesItsDefault) {
  const std::string plugins = RegisterEditor();
  SetupProcess setup(media_);
  HWND plugin = StartToPluginPage(setup);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(ItemText(plugin, IDC_PROMPT),
            "Type in the directory where the Velvorine Plugin will be installed,");
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), plugins);
  EXPECT_EQ(GetWindow(plugin, GW_OWNER), setup.MainWindow());
  EXPECT_EQ(DefaultButton(plugin), IDOK);

  HWND samples = Move(setup, plugin, IDOK, "Sample Files");
  ASSERT_NE(samples, nullptr);
  EXPECT_EQ(ItemText(samples, IDC_PROMPT),
            "Type in the directory where the Sample Files will be installed,");
  EXPECT_EQ(ItemText(samples, IDC_DIRECTORY), SamplesDefault());

  HWND help = Move(setup, samples, IDOK, "On-line Help Files");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(ItemText(help, IDC_PROMPT),
            "Type in the directory where the On-line Help Files will be installed,");
  EXPECT_EQ(ItemText(help, IDC_DIRECTORY), plugins);
  ASSERT_TRUE(setup.Press(help, IDOK));
  ExpectCompletedAndExit(setup);
}

TEST_F(Directories, WithoutAnEditorThePluginAndHelpPagesStartEmpty) {
  SetEditorCommand(3, "\"" + scratch_ + "NoEditor\\Photoshp.exe\" \"%1\"");  // no plugins
  SetupProcess setup(media_);
  HWND plugin = StartToPluginPage(setup);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), "");
  HWND samples = Move(setup, plugin, IDOK, "Sample Files");
  ASSERT_NE(samples, nullptr);
  EXPECT_EQ(ItemText(samples, IDC_DIRECTORY), SamplesDefault());
  HWND help = Move(setup, samples, IDOK, "On-line Help Files");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(ItemText(help, IDC_DIRECTORY), "");
  ExpectCancelledAndExit(setup, help);
}

TEST_F(Directories, OnlyNextStoresWhatWasTyped) {
  const std::string plugins = RegisterEditor();
  SetupProcess setup(media_);
  HWND plugin = StartToPluginPage(setup);
  ASSERT_NE(plugin, nullptr);

  // Back: the typed directory is dropped.
  SetItemText(plugin, IDC_DIRECTORY, "C:\\Typed then Back");
  ASSERT_TRUE(setup.Press(plugin, IDC_BACK));
  plugin = StartToPluginPage(setup);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), plugins);

  // Cancel, then No: the page comes back as it was.
  SetItemText(plugin, IDC_DIRECTORY, "C:\\Typed then Cancel");
  ASSERT_TRUE(setup.Press(plugin, IDCANCEL));
  AnswerCancel(setup, IDNO);
  plugin = setup.AwaitDirectoryPage("Velvorine Plugin");
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), plugins);

  // Next stores it; it is shown again after Back and forward.
  // The install then really makes these directories: keep them in the scratch folder.
  const std::string chosenPlugins = scratch_ + "Chosen Plugins";
  const std::string chosenSamples = scratch_ + "Chosen Samples";
  SetItemText(plugin, IDC_DIRECTORY, chosenPlugins);
  HWND samples = Move(setup, plugin, IDOK, "Sample Files");
  ASSERT_NE(samples, nullptr);
  SetItemText(samples, IDC_DIRECTORY, chosenSamples);
  HWND help = Move(setup, samples, IDOK, "On-line Help Files");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(ItemText(help, IDC_DIRECTORY), chosenPlugins);  // from the plug-in page
  samples = Move(setup, help, IDC_BACK, "Sample Files");
  ASSERT_NE(samples, nullptr);
  EXPECT_EQ(ItemText(samples, IDC_DIRECTORY), chosenSamples);
  plugin = Move(setup, samples, IDC_BACK, "Velvorine Plugin");
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), chosenPlugins);
  samples = Move(setup, plugin, IDOK, "Sample Files");
  ASSERT_NE(samples, nullptr);
  EXPECT_EQ(ItemText(samples, IDC_DIRECTORY), chosenSamples);
  help = Move(setup, samples, IDOK, "On-line Help Files");
  ASSERT_NE(help, nullptr);
  ASSERT_TRUE(setup.Press(help, IDOK));
  ExpectCompletedAndExit(setup);
}

TEST_F(Directories, AnEmptiedPluginDirectoryIsFilledAgainOnTheHelpPage) {
  const std::string plugins = RegisterEditor();
  SetupProcess setup(media_);
  HWND plugin = StartToPluginPage(setup);
  ASSERT_NE(plugin, nullptr);
  SetItemText(plugin, IDC_DIRECTORY, "");
  HWND samples = Move(setup, plugin, IDOK, "Sample Files");
  ASSERT_NE(samples, nullptr);
  HWND help = Move(setup, samples, IDOK, "On-line Help Files");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(ItemText(help, IDC_DIRECTORY), plugins);
  samples = Move(setup, help, IDC_BACK, "Sample Files");
  ASSERT_NE(samples, nullptr);
  plugin = Move(setup, samples, IDC_BACK, "Velvorine Plugin");
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), plugins);
  ExpectCancelledAndExit(setup, plugin);
}

TEST_F(Directories, BrowseMovesToAnotherFolderAndNextStoresIt) {
  const std::string plugins = RegisterEditor();
  const std::string chosen = scratch_ + "Chosen";
  ASSERT_TRUE(MakeDirs(chosen));
  SetupProcess setup(media_);
  HWND plugin = StartToPluginPage(setup);
  ASSERT_NE(plugin, nullptr);
  // The dialog opens in the stored directory, not in what is typed.
  SetItemText(plugin, IDC_DIRECTORY, "C:\\Typed");
  Click(plugin, IDC_BROWSE);
  HWND browse = setup.AwaitBrowseDialog(plugin);
  ASSERT_NE(browse, nullptr);
  EXPECT_EQ(ItemText(browse, kFileNameBox), "velvor.8bf");
  EXPECT_EQ(Lower(WithoutSlash(ItemText(browse, kShownFolder))), Lower(plugins));

  // Up from Editor\plugins to the scratch folder, and down into Chosen.
  EXPECT_TRUE(OpenDirectoryEntry(browse, "[..]"));
  EXPECT_TRUE(OpenDirectoryEntry(browse, "[..]"));
  EXPECT_TRUE(OpenDirectoryEntry(browse, "[Chosen]"));
  EXPECT_EQ(Lower(WithoutSlash(ItemText(browse, kShownFolder))), Lower(chosen));
  EXPECT_EQ(ItemText(browse, kFileNameBox), "velvor.8bf");
  ASSERT_TRUE(setup.Press(browse, IDOK));
  EXPECT_EQ(Lower(ItemText(plugin, IDC_DIRECTORY)), Lower(chosen));

  // Next stores the folder: the help page, which follows the plug-in, shows it.
  HWND samples = Move(setup, plugin, IDOK, "Sample Files");
  ASSERT_NE(samples, nullptr);
  HWND help = Move(setup, samples, IDOK, "On-line Help Files");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(Lower(ItemText(help, IDC_DIRECTORY)), Lower(chosen));
  ASSERT_TRUE(setup.Press(help, IDOK));
  ExpectCompletedAndExit(setup);
}

TEST_F(Directories, BrowseThenCancelOrBackStoresNothing) {
  SetupProcess setup(media_);
  HWND plugin = StartToPluginPage(setup);
  ASSERT_NE(plugin, nullptr);
  ASSERT_EQ(ItemText(plugin, IDC_DIRECTORY), "");

  // An empty stored directory: the dialog opens where the program was started.
  SetItemText(plugin, IDC_DIRECTORY, "C:\\Typed");
  Click(plugin, IDC_BROWSE);
  HWND browse = setup.AwaitBrowseDialog(plugin);
  ASSERT_NE(browse, nullptr);
  EXPECT_EQ(Lower(WithoutSlash(ItemText(browse, kShownFolder))), Lower(WithoutSlash(media_)));
  EXPECT_TRUE(OpenDirectoryEntry(browse, "[samples]"));
  ASSERT_TRUE(setup.Press(browse, IDCANCEL));
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), "C:\\Typed");

  // Browse, confirm, then Back: the page's directory stays empty. The dialog opens where
  // the program was started again, whatever folder the last one moved to.
  Click(plugin, IDC_BROWSE);
  browse = setup.AwaitBrowseDialog(plugin);
  ASSERT_NE(browse, nullptr);
  EXPECT_EQ(Lower(WithoutSlash(ItemText(browse, kShownFolder))), Lower(WithoutSlash(media_)));
  EXPECT_TRUE(OpenDirectoryEntry(browse, "[plugin]"));
  ASSERT_TRUE(setup.Press(browse, IDOK));
  EXPECT_EQ(Lower(ItemText(plugin, IDC_DIRECTORY)), Lower(media_ + "plugin"));
  ASSERT_TRUE(setup.Press(plugin, IDC_BACK));
  plugin = StartToPluginPage(setup);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(ItemText(plugin, IDC_DIRECTORY), "");
  ExpectCancelledAndExit(setup, plugin);
}

// What Next makes of a typed directory: the quotes and spaces of a paste go; a relative
// path, a character that no folder name may hold, a device path or name, a name Windows
// would trim, or a path too long for the files behind it is refused over the page, which
// keeps the text, and nothing is made for it.
TEST_F(Directories, TypedDirectoriesAreCleanedOrRefused) {
  std::vector<MediaFile> payload = DefaultPayload();
  payload.push_back({"samples", "Sample Settings.txt", "settings"});
  media_ = MakeMedia(scratch_, payload);
  SetupProcess setup(media_);
  HWND plugin = StartToPluginPage(setup);
  ASSERT_NE(plugin, nullptr);
  auto refuse = [&](HWND page, const std::string& typed, const std::string& message) {
    SetItemText(page, IDC_DIRECTORY, typed);
    Click(page, IDOK);
    HWND box = setup.AwaitMessageBox("Velvorine Install");
    ASSERT_NE(box, nullptr) << typed;
    EXPECT_EQ(GetWindow(box, GW_OWNER), page);
    EXPECT_EQ(MessageText(box), message);
    ASSERT_TRUE(setup.Press(box, IDOK));
    EXPECT_TRUE(IsWindowVisible(page)) << "the page stays for another directory";
    EXPECT_EQ(ItemText(page, IDC_DIRECTORY), typed);
  };
  const std::string notFull =
      "The directory must be a full path that starts with its drive letter, for example "
      "C:\\Velvorine\\Samples (or a network path, such as \\\\server\\share\\Velvorine). "
      "Type the full path.";
  const std::pair<std::string, std::string> refused[] = {
      {"Velvorine\\Samples", notFull}, {"C:Velvorine", notFull}, {"\\Velvorine", notFull},
      {scratch_ + "a|b", "The directory cannot contain the character |. No folder name may hold "
                         "any of < > \" | ? * or a control character, and a colon may only "
                         "follow the drive letter."},
      {"\\\\.\\C:\\Plug-ins",
       "The directory cannot start with \\\\.\\ or \\\\?\\, which name devices, not folders. "
       "Type a path that starts with its drive letter, or a network path."},
      {scratch_ + "Lpt1.txt\\Plug-ins",
       "The directory cannot contain a folder named Lpt1.txt: Windows keeps that name for a "
       "device, as it does CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, with any "
       "extension. Type another name."},
      {scratch_ + "Samples \\Help",
       "The folder name \"Samples \" ends in a dot or a space, which Windows leaves out of a "
       "folder's name: the files would go to a folder of another name. Type the name without "
       "it."},
      {scratch_ + std::string(247 - scratch_.size(), 'l'),
       "The directory is too long: it can have at most 246 characters, fewer when they are "
       "not English letters (each of those takes the room of two to four). Type a shorter "
       "one."}};
  for (const auto& [typed, message] : refused) refuse(plugin, typed, message);
  // Pasted with quotes and spaces; on the samples page, the longest directory that leaves
  // room for its longest file name (260 bytes with the backslash and the terminator),
  // with a stray space, after one a character longer.
  const std::string plugins = scratch_ + "Plug-ins";
  const std::string samples = scratch_ + std::string(239 - scratch_.size(), 's');
  SetItemText(plugin, IDC_DIRECTORY, "  \"" + plugins + "\" ");
  HWND page = Move(setup, plugin, IDOK, "Sample Files");
  ASSERT_NE(page, nullptr);
  refuse(page, samples + "s",
         "The directory is too long for the file Sample Settings.txt to fit behind it: a "
         "file's full path can have at most 259 characters, fewer when they are not English "
         "letters. Type a shorter one.");
  SetItemText(page, IDC_DIRECTORY, samples + " ");
  page = Move(setup, page, IDOK, "On-line Help Files");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ItemText(page, IDC_DIRECTORY), plugins) << "the plug-in's, as stored";
  ASSERT_TRUE(setup.Press(page, IDOK));
  ExpectCompletedAndExit(setup);
  EXPECT_EQ(FilesIn(samples), FilesIn(media_ + "samples"));
  std::string value;
  EXPECT_TRUE(ReadProductValue("ParamDirectory", &value) && value == samples) << value;
  EXPECT_TRUE(ReadProductValue("HelpFile", &value) && value == plugins + "\\velvor.hlp") << value;
  // Setup ran in its media folder; the relative ones would have been made from there.
  EXPECT_EQ(FoldersBelow(media_), (std::vector<std::string>{"help", "plugin", "samples"}));
  EXPECT_FALSE(DirExists("C:\\Velvorine"));
  EXPECT_FALSE(DirExists(scratch_ + "Lpt1.txt") || DirExists(scratch_ + "Samples"));
}

}  // namespace
