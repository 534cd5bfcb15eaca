// The wizard's step loop, driven with scripted pages.
#include <gtest/gtest.h>
#include <string.h>

#include <deque>
#include <utility>
#include <string>
#include <vector>

#include "app/installer_state.h"
#include "wizard/page_result.h"
#include "wizard/wizard.h"

namespace {

// What the scripted pages answer, in order, and what the loop asked of them.
struct Script {
  Script(std::deque<int> a = {}) : answers(std::move(a)) {}
  std::deque<int> answers;  // one per page or confirmation shown
  std::vector<std::string> log;
  int installResult = 1;
  const char* pluginDefault = "";  // what the plug-in rule finds
  int nextAnswer(const std::string& what) {
    log.push_back(what);
    if (answers.empty()) {
      ADD_FAILURE() << "no scripted answer for " << what;
      return 0;
    }
    int a = answers.front();
    answers.pop_front();
    return a;
  }
};
Script* script;

INT_PTR ComponentPage(HWND) { return script->nextAnswer("components"); }
int DirectoryPage(HWND, char* dir, const char* name, const char*) {
  return script->nextAnswer(std::string("dir:") + name + "=" + dir);
}
void FindPlugin() {
  script->log.push_back("findPlugin");
  if (g_state.pluginDir[0] == '\0') strcpy(g_state.pluginDir, script->pluginDefault);
}
void DefaultSamples() { script->log.push_back("defaultSamples"); }
int Install(HWND) {
  script->log.push_back("install");
  return script->installResult;
}
void Completed(HWND) { script->log.push_back("completed"); }
int Confirm(HWND) { return script->nextAnswer("confirm"); }

const WizardOps kScripted = {ComponentPage, DirectoryPage, FindPlugin, DefaultSamples,
                             Install,       Completed,     Confirm};

const int Yes = 1, No = 0;
const int Next = kPageNext, Back = kPageBack, Cancel = kPageCancel;

std::vector<std::string> RunScript(Script& s) {
  script = &s;
  RunWizardWith(nullptr, kScripted);
  EXPECT_TRUE(s.answers.empty()) << "pages not shown: " << s.answers.size();
  return s.log;
}

class WizardSteps : public testing::Test {
 protected:
  void SetUp() override { ResetInstallerState(); }
};

using Log = std::vector<std::string>;

TEST_F(WizardSteps, AllChosenGoesThroughEveryPageInOrder) {
  Script s{{1, Next, Next, Next}};
  s.pluginDefault = "C:\\Editor\\plugins";
  EXPECT_EQ(RunScript(s), (Log{"components", "findPlugin", "dir:Velvorine Plugin=C:\\Editor\\plugins",
                         "defaultSamples", "dir:Sample Files=", "findPlugin",
                         "dir:On-line Help Files=C:\\Editor\\plugins", "install", "completed"}));
}

TEST_F(WizardSteps, NothingChosenPassesEveryDirectoryPage) {
  g_state.wantPlugin = g_state.wantSamples = g_state.wantHelp = 0;
  Script s{{1}};
  EXPECT_EQ(RunScript(s), (Log{"components", "install", "completed"}));
}

TEST_F(WizardSteps, UnchosenPagesArePassedInTheDirectionOfTravel) {
  g_state.wantPlugin = 0;
  g_state.wantHelp = 0;
  // Samples page, Back: the plug-in page is passed backward to the components.
  Script s{{1, Back, 1, Next}};
  EXPECT_EQ(RunScript(s), (Log{"components", "defaultSamples", "dir:Sample Files=", "components",
                         "defaultSamples", "dir:Sample Files=", "install", "completed"}));
}

TEST_F(WizardSteps, CancelThenNoReturnsToTheSamePageAndBackStillPassesOver) {
  g_state.wantSamples = 0;
  Script s{{1, Next, Cancel, No, Back, Cancel, No, Next, Next}};
  s.pluginDefault = "P";
  EXPECT_EQ(RunScript(s),
            (Log{"components", "findPlugin", "dir:Velvorine Plugin=P", "findPlugin",
                 "dir:On-line Help Files=P",
                 "confirm", "dir:On-line Help Files=P",
                 // Back from help passes the unchosen samples page backward.
                 "findPlugin", "dir:Velvorine Plugin=P", "confirm", "findPlugin",
                 "dir:Velvorine Plugin=P", "dir:On-line Help Files=P", "install", "completed"}));
}

TEST_F(WizardSteps, YesEndsWithoutInstalling) {
  // Cancel on the component page, then on each directory page in turn.
  const std::deque<int> scripts[] = {
      {0, Yes},
      {1, Cancel, Yes},
      {1, Next, Cancel, Yes},
      {1, Next, Next, Cancel, Yes},
  };
  for (const std::deque<int>& answers : scripts) {
    ResetInstallerState();
    Script s{answers};
    Log log = RunScript(s);
    EXPECT_EQ(log.back(), "confirm") << answers.size();
    for (const std::string& e : log) EXPECT_NE(e, "install") << answers.size();
  }
}

TEST_F(WizardSteps, FailedInstallEndsWithoutCompletion) {
  g_state.wantPlugin = g_state.wantSamples = g_state.wantHelp = 0;
  Script s{{1}};
  s.installResult = 0;
  EXPECT_EQ(RunScript(s), (Log{"components", "install"}));
}

TEST_F(WizardSteps, HelpPageFillsAnEmptyHelpDirectoryFromThePluginRule) {
  g_state.wantPlugin = 0;
  g_state.wantSamples = 0;
  strcpy(g_state.pluginDir, "");
  Script s{{1, Next}};
  s.pluginDefault = "C:\\E\\plugins";
  EXPECT_EQ(RunScript(s), (Log{"components", "findPlugin", "dir:On-line Help Files=C:\\E\\plugins",
                         "install", "completed"}));
  // A help directory that is already set is kept.
  ResetInstallerState();
  g_state.wantPlugin = g_state.wantSamples = 0;
  strcpy(g_state.helpDir, "D:\\Help");
  Script t{{1, Next}};
  EXPECT_EQ(RunScript(t), (Log{"components", "dir:On-line Help Files=D:\\Help", "install", "completed"}));
}

TEST_F(WizardSteps, AnUnknownPageResultCountsAsCancel) {
  Script s{{1, -1, No, 7, Yes}};
  Log log = RunScript(s);
  EXPECT_EQ(log, (Log{"components", "findPlugin", "dir:Velvorine Plugin=", "confirm",
                      "findPlugin", "dir:Velvorine Plugin=", "confirm"}));
}

TEST(WizardStepRules, Table) {
  EXPECT_EQ(StepAfterPage(kStepComponents, 1), kStepPluginDir);
  EXPECT_EQ(StepAfterPage(kStepComponents, -1), kStepPluginDir);  // nonzero is Next
  EXPECT_EQ(StepAfterPage(kStepComponents, 0), kStepConfirmCancel);
  for (int step = kStepPluginDir; step <= kStepHelpDir; ++step) {
    EXPECT_EQ(StepAfterPage(step, kPageNext), step + 1);
    EXPECT_EQ(StepAfterPage(step, kPageBack), step - 1);
    EXPECT_EQ(StepAfterPage(step, kPageCancel), kStepConfirmCancel);
    EXPECT_EQ(StepPassedOver(step, step - 1), step + 1);
    EXPECT_EQ(StepPassedOver(step, kStepInstall), step - 1);
  }
}

// The last word: one file or several, the registry alone or under the files' line.
TEST(CompletionText, SaysWhatDidNotArrive) {
  const std::string registry =
      "The installation has completed, but the plug-in's settings could not be recorded in "
      "the registry.";
  struct Case { int files, values; bool whole; std::string text; };
  const Case cases[] = {
      {0, 0, true, "The installation has completed successfully."},
      {1, 0, false, "The installation has completed, but 1 file was not installed."},
      {12, 0, false, "The installation has completed, but 12 files were not installed."},
      {0, 2, false, registry},
      {1, 1, false, "The installation has completed, but 1 file was not installed.\n" + registry},
  };
  for (const Case& c : cases) {
    char text[kTextSize];
    EXPECT_EQ(CompletionText(text, c.files, c.values), c.whole) << c.files << "/" << c.values;
    EXPECT_EQ(std::string(text), c.text);
  }
  char text[kTextSize];  // a folder not read: how many files is not known
  EXPECT_FALSE(CompletionText(text, 2, 0, 1));
  EXPECT_EQ(std::string(text), "The installation has completed, but some files were not installed.");
}

}  // namespace
