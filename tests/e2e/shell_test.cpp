// The program's shell and the wizard's moves, seen from outside.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

class Shell : public testing::Test {
 protected:
  void SetUp() override {
    DeleteProductKey();
    SetEditorCommand(4, "");
    SetEditorCommand(3, "");
    media_ = MakeMedia(ScratchDir(), DefaultPayload());
  }
  void ExpectExitZero(SetupProcess& setup) {
    DWORD code = 1;
    ASSERT_TRUE(setup.AwaitExit(&code));
    EXPECT_EQ(code, 0u);
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

}  // namespace
