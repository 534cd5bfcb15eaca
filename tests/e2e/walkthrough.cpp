// A scripted walk through the installer that saves a screenshot of each page, and one of
// the component page at 192 DPI:
//   walkthrough.exe path\to\media\setup.exe output-folder [run-folder]
// With a run folder (C:\Velvorine Setup for the README's pictures), the media is copied
// there first and run from there, so that the Browse dialog shows that folder rather than
// the build machine's own. Directory pages left empty get a folder under C:\Velvorine Demo.
// At the end every file of the media's plugin\, samples\ and help\ must be in its chosen
// directory.
#include <gtest/gtest.h>

#include <stdio.h>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

std::string g_media, g_out;

void Shot(const char* name) {
  Sleep(300);  // let the backdrop and the page finish painting
  std::string path = g_out + "\\" + name + ".bmp";
  EXPECT_TRUE(SaveScreenshot(path)) << path;
}

TEST(Walkthrough, EveryPage) {
  SetupProcess setup(g_media);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  Shot("01-components");
  ASSERT_TRUE(setup.Press(page, IDOK));

  struct Step {
    const char* name;
    const char* shot;
    const char* fallback;
    const char* browseShot;
    const char* source;
  };
  const Step steps[] = {
      {"Velvorine Plugin", "02-plugin-directory", "C:\\Velvorine Demo\\Plugins",
       "02b-plugin-browse", "plugin"},
      {"Sample Files", "03-samples-directory", "C:\\Velvorine Demo\\Samples", nullptr, "samples"},
      {"On-line Help Files", "04-help-directory", "C:\\Velvorine Demo\\Help", nullptr, "help"},
  };
  std::vector<std::pair<std::string, std::string>> chosen;  // source folder, directory
  for (const Step& s : steps) {
    HWND dir = setup.AwaitDirectoryPage(s.name);
    ASSERT_NE(dir, nullptr);
    if (ItemText(dir, IDC_DIRECTORY).empty()) SetItemText(dir, IDC_DIRECTORY, s.fallback);
    chosen.emplace_back(s.source, ItemText(dir, IDC_DIRECTORY));
    Shot(s.shot);
    if (s.browseShot) {
      // The Browse dialog, cancelled: the page keeps what it showed.
      std::string shown = ItemText(dir, IDC_DIRECTORY);
      Click(dir, IDC_BROWSE);
      HWND browse = setup.AwaitBrowseDialog(dir);
      ASSERT_NE(browse, nullptr);
      Shot(s.browseShot);
      ASSERT_TRUE(setup.Press(browse, IDCANCEL));
      EXPECT_EQ(ItemText(dir, IDC_DIRECTORY), shown);
    }
    ASSERT_TRUE(setup.Press(dir, IDOK));
  }
  HWND done = setup.AwaitMessageBox("Velvorine Install", 60000);
  ASSERT_NE(done, nullptr);
  Shot("05-completed");
  ASSERT_TRUE(setup.Press(done, IDOK));
  DWORD code = 1;
  ASSERT_TRUE(setup.AwaitExit(&code));
  EXPECT_EQ(code, 0u);

  for (const auto& [source, directory] : chosen) {
    std::vector<std::string> files = FilesIn(g_media + source);
    EXPECT_FALSE(files.empty()) << "the media has no " << source << " files";
    for (const std::string& name : files)
      EXPECT_EQ(ReadFileText(directory + "\\" + name), ReadFileText(g_media + source + "\\" + name))
          << name << " did not arrive in " << directory;
  }
  std::string value;
  EXPECT_TRUE(ReadProductValue("ParamDirectory", &value));
  EXPECT_EQ(value, chosen[1].second);
  EXPECT_TRUE(ReadProductValue("HelpFile", &value));
  EXPECT_EQ(value, chosen[2].second + "\\velvor.hlp");
}

// The component page with the screen at 192 DPI: the page drawn with a larger font, the
// title twice its size.
TEST(Walkthrough, ComponentPageAt192Dpi) {
  ScopedScreenDpi dpi(192);
  SetupProcess setup(g_media);
  HWND page = setup.AwaitComponentPage();
  ASSERT_NE(page, nullptr);
  Shot("06-components-192dpi");
  ExpectCancelledAndExit(setup, page);
}

// Copies setup.exe and the files of its plugin\, samples\ and help\ folders into a fresh
// run folder (ending in a backslash).
bool CopyMedia(const std::string& from, const std::string& to) {
  RemoveTree(to);
  if (!MakeDirs(to) || !CopyFileA((from + "setup.exe").c_str(), (to + "setup.exe").c_str(), FALSE))
    return false;
  for (const char* folder : {"plugin", "samples", "help"}) {
    if (!DirExists(from + folder)) continue;
    if (!MakeDirs(to + folder)) return false;
    for (const std::string& name : FilesIn(from + folder)) {
      std::string file = std::string("\\") + name;
      if (!CopyFileA((from + folder + file).c_str(), (to + folder + file).c_str(), FALSE))
        return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 3) {
    fprintf(stderr,
            "usage: walkthrough.exe path\\to\\media\\setup.exe output-folder [run-folder]\n");
    return 2;
  }
  SetProcessDPIAware();  // screenshots in the screen's own pixels, as setup.exe draws them
  SetSetupExe(argv[1]);
  g_media = SetupExe().substr(0, SetupExe().find_last_of('\\') + 1);
  if (argc > 3 && argv[3][0]) {
    std::string run = WindowsPath(argv[3]);
    if (run.back() != '\\') run += '\\';
    if (!CopyMedia(g_media, run)) {
      fprintf(stderr, "cannot copy the media in %s to %s\n", g_media.c_str(), run.c_str());
      return 2;
    }
    g_media = run;
  }
  g_out = WindowsPath(argv[2]);
  MakeDirs(g_out);
  return RUN_ALL_TESTS();
}
