// Directory tests and creation against real folders of the Wine prefix's drive C.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "install/directory_ops.h"
#include "tests/e2e/driver.h"

namespace {

using e2e::DirExists;
using e2e::FileExists;

std::string CurrentDirectory() {
  char buf[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof buf, buf);
  return buf;
}

// Entries of a folder other than "." and "..".
int EntriesIn(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  int n = 0;
  do {
    if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0) ++n;
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return n;
}

class DirectoryOps : public testing::Test {
 protected:
  void SetUp() override {
    root_ = e2e::ScratchDir();  // C:\velvor-e2e\<suite>.<test>\, made empty
    ASSERT_TRUE(e2e::MakeDirs(root_ + "cwd"));
    ASSERT_TRUE(e2e::WriteFileText(root_ + "file.txt", "a file"));
    // A current directory of its own, so that a relative creation would show here.
    ASSERT_TRUE(SetCurrentDirectoryA((root_ + "cwd").c_str()));
    cwd_ = CurrentDirectory();
  }
  void TearDown() override { SetCurrentDirectoryA("C:\\"); }
  std::string root_, cwd_;
};

TEST_F(DirectoryOps, ExistsOnlyForDirectoriesAndLeavesTheCurrentDirectory) {
  struct Case {
    std::string path;
    int exists;
  };
  const Case cases[] = {
      {root_.substr(0, root_.size() - 1), 1},  // without its trailing backslash
      {root_, 1},                              // with it
      {"C:\\", 1},                             // a drive root keeps its backslash
      {root_ + "file.txt", 0},                 // a file is no directory
      {root_ + "file.txt\\", 0},
      {root_ + "missing", 0},
      {root_ + "missing\\", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirectoryExists(c.path.c_str()), c.exists) << "'" << c.path << "'";
    EXPECT_EQ(CurrentDirectory(), cwd_) << "after testing '" << c.path << "'";
  }
  // A current directory of more bytes than a path buffer holds in a double-byte code page,
  // and one of more characters than it holds.
  std::wstring longDir = std::wstring(root_.begin(), root_.end()) + std::wstring(150, L'\u8868');
  for (const std::wstring& dir : {longDir, longDir + L"\\" + std::wstring(150, L'x')}) {
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + dir).c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str())) << dir.size() << " characters";
    EXPECT_EQ(DirectoryExists(root_.c_str()), 1);
    wchar_t after[2 * MAX_PATH] = L"";
    GetCurrentDirectoryW(2 * MAX_PATH, after);
    EXPECT_EQ(after, dir);
  }
}

TEST_F(DirectoryOps, TreeCreatesEveryMissingLevel) {
  std::string deep = root_ + "a\\b\\c";
  EXPECT_NE(CreateDirectoryTree(deep.c_str()), 0);
  EXPECT_TRUE(DirExists(root_ + "a"));
  EXPECT_TRUE(DirExists(root_ + "a\\b"));
  EXPECT_TRUE(DirExists(deep));
  EXPECT_EQ(CurrentDirectory(), cwd_);

  // Below an existing level only the missing ones are made.
  EXPECT_NE(CreateDirectoryTree((root_ + "a\\b\\d\\e").c_str()), 0);
  EXPECT_TRUE(DirExists(root_ + "a\\b\\d\\e"));
}

TEST_F(DirectoryOps, TreeWithTrailingBackslashCountsTheDirectoryItMade) {
  // With two levels missing the climb makes the directory itself before the last
  // attempt on the path with its backslash; that is still success.
  std::string twoMissing = root_ + "t\\u\\";
  EXPECT_NE(CreateDirectoryTree(twoMissing.c_str()), 0);
  EXPECT_TRUE(DirExists(root_ + "t\\u"));
  EXPECT_NE(EnsureDirectory((root_ + "x\\y\\z\\").c_str()), 0);
  EXPECT_TRUE(DirExists(root_ + "x\\y\\z"));
  // Only the last level missing: made at the first attempt.
  EXPECT_NE(CreateDirectoryTree((root_ + "v\\").c_str()), 0);
  EXPECT_TRUE(DirExists(root_ + "v"));
}

TEST_F(DirectoryOps, TreeFailsWhereNothingCanBeMade) {
  struct Case {
    std::string path;
    const char* why;
  };
  const Case cases[] = {
      {root_ + "file.txt", "names an existing file"},
      {root_ + "file.txt\\sub", "lies under an existing file"},
      {root_ + "file.txt\\sub\\deeper\\", "lies deeper under an existing file"},
      {"bad|name", "has no backslash and an invalid character"},
      {"", "is empty"},
      {"Q:\\nowhere\\deeper", "is on a drive that does not exist"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CreateDirectoryTree(c.path.c_str()), 0) << "'" << c.path << "' " << c.why;
    EXPECT_EQ(EnsureDirectory(c.path.c_str()), 0) << "'" << c.path << "' " << c.why;
    EXPECT_EQ(CurrentDirectory(), cwd_);
  }
  EXPECT_TRUE(FileExists(root_ + "file.txt"));
  EXPECT_EQ(EntriesIn(root_ + "cwd"), 0) << "something was made in the current directory";
}

TEST_F(DirectoryOps, EnsureLeavesAnExistingDirectoryAndMakesAMissingOne) {
  ASSERT_TRUE(e2e::WriteFileText(root_ + "cwd\\kept.txt", "kept"));
  EXPECT_EQ(EnsureDirectory((root_ + "cwd").c_str()), 1);
  EXPECT_EQ(e2e::ReadFileText(root_ + "cwd\\kept.txt"), "kept");
  EXPECT_EQ(EnsureDirectory("C:\\"), 1);

  std::string missing = root_ + "p\\q";
  EXPECT_NE(EnsureDirectory(missing.c_str()), 0);
  EXPECT_TRUE(DirExists(missing));
  EXPECT_EQ(CurrentDirectory(), cwd_);
}

// ctest runs this program in code page 932 too, where 0x95 begins a two-byte character:
// alone at the end it is half a character, which the system would make into another name.
TEST_F(DirectoryOps, HalfACharacterAtTheEndIsNoPath) {
  ASSERT_TRUE(e2e::InCodePageAskedFor());
  const bool doubleByte = IsDBCSLeadByte(0x95);  // else a character of its own (1252: •)
  const std::string half = root_ + "half\x95";
  EXPECT_EQ(DirectoryExists(half.c_str()), 0);
  EXPECT_EQ(EnsureDirectory(half.c_str()), doubleByte ? 0 : 1);
  std::vector<std::string> made = {"cwd"};
  if (!doubleByte) made.push_back("half\x95");
  EXPECT_EQ(e2e::FoldersBelow(root_), made) << "a folder of another name was made";
  EXPECT_EQ(CurrentDirectory(), cwd_);
}

}  // namespace
