// The default directories, against registry keys and folders made by the tests.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "app/installer_state.h"
#include "tests/e2e/driver.h"
#include "wizard/default_dirs.h"

namespace {

using e2e::RemoveTree;

const char kScratch[] = "C:\\velvor-unit\\default-dirs";

std::string CommandKey(int version) {
  return "Photoshop.Image." + std::to_string(version) + "\\shell\\open\\command";
}

// Removes the editor's registration of this version, the whole key tree.
void Unregister(int version) {
  std::string path = CommandKey(version);
  for (;;) {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
    size_t cut = path.rfind('\\');
    if (cut == std::string::npos) break;
    path.resize(cut);
  }
  RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
}

// Registers an open command for this version, stored as the exact bytes given (so that a
// value without a terminator can be written) with the given type.
void Register(int version, const std::string& bytes, DWORD type = REG_SZ) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, CommandKey(version).c_str(), 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}
std::string Terminated(const std::string& s) { return std::string(s.c_str(), s.size() + 1); }

class PluginFolder : public testing::Test {
 protected:
  void SetUp() override {
    ResetInstallerState();
    Unregister(4);
    Unregister(3);
    RemoveTree(kScratch);
    // Two editors: version 4 with a plug-in folder, version 3 with one, and one without.
    for (const char* sub : {"\\Editor4\\plugins", "\\Editor3\\plugins", "\\Bare"})
      e2e::MakeDirs(kScratch + std::string(sub));
  }
  void TearDown() override {
    Unregister(4);
    Unregister(3);
    RemoveTree(kScratch);
  }
  static std::string Dir(const char* sub) { return kScratch + std::string(sub); }
};

TEST_F(PluginFolder, CommandsOfBothVersions) {
  const std::string ed4 = Dir("\\Editor4\\"), ed3 = Dir("\\Editor3\\"), bare = Dir("\\Bare\\");
  const std::string long4 = "\"" + ed4 + std::string(300, 'x') + "\\ps.exe\" \"%1\"";
  // What a too long candidate would be if it were cut to the buffer: it must not be kept.
  const std::string cut = ed4 + std::string(kPathSize - 1 - ed4.size(), 'x');
  HANDLE f = CreateFileA(cut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  struct Case {
    const char* what;
    std::string v4, v3;  // open commands; "" leaves the version unregistered
    std::string expected;
  };
  const Case cases[] = {
      {"version 4 wins", "\"" + ed4 + "Photoshp.exe\" \"%1\"", "\"" + ed3 + "ps.exe\" \"%1\"",
       ed4 + "plugins"},
      {"version 3 when 4 has no plug-in folder", "\"" + bare + "ps.exe\" \"%1\"",
       "\"" + ed3 + "ps.exe\" \"%1\"", ed3 + "plugins"},
      {"version 3 alone", "", ed3 + "ps.exe %1", ed3 + "plugins"},
      {"unquoted command", ed4 + "ps.exe %1", "", ed4 + "plugins"},
      {"no plug-in folder anywhere", "\"" + bare + "ps.exe\"", "", ""},
      {"command without a backslash", "ps.exe \"%1\"", "", ""},
      {"quotes around a command without a backslash", "\"ps.exe\"", "", ""},
      {"candidate of 260 characters or more", long4, "", ""},
      {"too long a candidate passes on to version 3", long4, "\"" + ed3 + "ps.exe\"",
       ed3 + "plugins"},
      {"nothing registered", "", "", ""},
  };
  for (const Case& c : cases) {
    ResetInstallerState();
    Unregister(4);
    Unregister(3);
    if (!c.v4.empty()) Register(4, Terminated(c.v4));
    if (!c.v3.empty()) Register(3, Terminated(c.v3));
    FindPluginFolder();
    EXPECT_EQ(g_state.pluginDir, c.expected) << c.what;
  }
}

TEST_F(PluginFolder, SomethingNamedPluginsThatIsAFileCounts) {
  const std::string bare = Dir("\\Bare\\");
  HANDLE f = CreateFileA((bare + "plugins").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  Register(4, Terminated("\"" + bare + "ps.exe\""));
  FindPluginFolder();
  EXPECT_EQ(g_state.pluginDir, bare + "plugins");
}

TEST_F(PluginFolder, ValuesThatDoNotFitTheTextBuffer) {
  const std::string ed4 = Dir("\\Editor4\\"), ed3 = Dir("\\Editor3\\");
  const std::string command = "\"" + ed4 + "ps.exe\" ";
  // Padded after the last backslash, so that a value cut at 1024 bytes would still name
  // the version 4 folder: only a value that is read whole may be used.
  struct Case {
    const char* what;
    std::string bytes;
    DWORD type;
    std::string expected;
  };
  const Case cases[] = {
      {"1023 characters and the terminator",
       Terminated(command + std::string(1023 - command.size(), ' ')), REG_SZ, ed4 + "plugins"},
      {"more than 1024 bytes", Terminated(command + std::string(1100, ' ')), REG_SZ,
       ed3 + "plugins"},
      {"1024 bytes without a terminator", command + std::string(1024 - command.size(), ' '),
       REG_BINARY, ed3 + "plugins"},
      {"short value without a terminator", command, REG_BINARY, ed4 + "plugins"},
      {"string stored without its terminator", command, REG_SZ, ed4 + "plugins"},
  };
  for (const Case& c : cases) {
    ResetInstallerState();
    // Left-overs with backslashes in the text buffer must not be taken for the value's end.
    memset(g_state.messageText, '\\', kTextSize);
    Register(4, c.bytes, c.type);
    Register(3, Terminated("\"" + ed3 + "ps.exe\""));
    FindPluginFolder();
    EXPECT_EQ(g_state.pluginDir, c.expected) << c.what;
  }
}

TEST_F(PluginFolder, ADirectoryAlreadyThereIsKept) {
  Register(4, Terminated("\"" + Dir("\\Editor4\\") + "ps.exe\""));
  strcpy(g_state.pluginDir, "D:\\Typed by the user");
  FindPluginFolder();
  EXPECT_STREQ(g_state.pluginDir, "D:\\Typed by the user");
}

TEST(SamplesFolder, UnderProgramFilesOnTheWindowsDrive) {
  ResetInstallerState();
  char windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 2u);
  ASSERT_EQ(windows[1], ':');
  DefaultSamplesFolder();
  EXPECT_EQ(g_state.samplesDir,
            std::string(1, windows[0]) + ":\\Program Files\\Brontavia\\Velvorine");

  strcpy(g_state.samplesDir, "E:\\Mine");
  DefaultSamplesFolder();
  EXPECT_STREQ(g_state.samplesDir, "E:\\Mine");
}

TEST(SamplesFolder, ForOtherWindowsDirectories) {
  const struct {
    const char* windows;
    const char* expected;
  } cases[] = {
      {"C:\\WINDOWS", "C:\\Program Files\\Brontavia\\Velvorine"},
      {"d:\\winnt\\system", "d:\\Program Files\\Brontavia\\Velvorine"},  // the first backslash
      {"c:\\", "c:\\Program Files\\Brontavia\\Velvorine"},
      {"C:windows\\here", "C:windows\\Program Files\\Brontavia\\Velvorine"},
      {"\\\\server\\share\\windows", ""},  // not on a drive letter
      {"C:", ""},                          // no backslash
      {"", ""},
  };
  for (const auto& c : cases) {
    ResetInstallerState();
    strcpy(g_state.messageText, c.windows);
    SamplesFolderFromWindowsDir();
    EXPECT_STREQ(g_state.samplesDir, c.expected) << c.windows;
  }
}

}  // namespace
