// File-system faults met by drumlo-listgen on the real file system (POSIX): each must end with
// a clear message and exit code, nothing partial presented as done, and no list file written
// earlier damaged. Faults that root would not see are skipped when running as root; the CI
// runs this suite again as an unprivileged user (scripts/run-unprivileged.sh).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/words.h"
#include "generator/song_rules.h"
#include "tool_test_support.h"
#include "workbooks.h"

namespace drumlo {
namespace {

namespace fs = std::filesystem;

// Three groups, written in this order: 5001.txt (a), 5003.txt (b), 5005.txt (c).
const std::string kWorkbook =
    Sheet(kHeader + Song(5001, "a") + Song(5002, "a") + Song(5003, "b") + Song(5005, "c"));

class FileFaultTest : public testing::Test {
 protected:
  void SetUp() override {
    dir =
        fs::temp_directory_path() / ("file_faults_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "clean");
    workbook = dir / "book.xml";
    std::ofstream(workbook, std::ios::binary) << kWorkbook;
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      if (entry.is_directory() && !entry.is_symlink()) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
      }
    }
    fs::remove_all(dir);
  }

  int Tool(const fs::path& book, const fs::path& out, bool quiet = true) {
    console = CapturingConsole();
    std::vector<Text> args = {u"--lang", u"en", u"--out", PathText(out), PathText(book)};
    if (quiet) args.insert(args.begin(), u"--quiet");
    return RunListTool(args, console);
  }
  // The files a run without any fault writes.
  std::map<std::string, std::string> CleanFiles() {
    EXPECT_EQ(Tool(workbook, dir / "clean"), 0);
    return FilesIn(dir / "clean");
  }
  static bool IsRoot() { return ::geteuid() == 0; }

  fs::path dir;
  fs::path workbook;
  CapturingConsole console;
};

Text Unreadable(const fs::path& book, int code) {
  return u"无法读取歌曲列表文件: " + PathText(book) + u" (错误代码 " + DecimalText(code) + u": " +
         Text(ReasonOf(code, Language::kChinese)) + u")\n";
}

TEST_F(FileFaultTest, DirectoryAsWorkbookCountsAsMissing) {
  fs::create_directories(dir / "folder.xml");
  EXPECT_EQ(Tool(dir / "folder.xml", dir / "out"), 2);
  EXPECT_EQ(console.err, u"没有发现歌曲列表文件: " + PathText(dir / "folder.xml") + u"\n");
  EXPECT_TRUE(FilesIn(dir / "out").empty());
}

TEST_F(FileFaultTest, WorkbookOfTwoGibibytesIsRefusedWithoutReadingIt) {
  const fs::path big = dir / "big.xml";
  const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t{1} << 31), 0);  // sparse: no disk space used
  ::close(fd);
  EXPECT_EQ(Tool(big, dir / "out"), 3);
  EXPECT_EQ(console.err, Unreadable(big, 223));
  EXPECT_TRUE(FilesIn(dir / "out").empty());
}

TEST_F(FileFaultTest, WorkbookWithoutReadPermissionIsUnreadable) {
  if (IsRoot()) GTEST_SKIP() << "root reads any file; run as an unprivileged user";
  fs::permissions(workbook, fs::perms::none);
  EXPECT_EQ(Tool(workbook, dir / "out"), 3);
  EXPECT_EQ(console.err, Unreadable(workbook, 5));
  EXPECT_TRUE(FilesIn(dir / "out").empty());
}

TEST_F(FileFaultTest, WorkbookHeldOpenForWritingByAnotherProcessIsReadAsItStands) {
  // POSIX has no share modes: another writer does not stop the read, and the run sees the
  // bytes on disk at that moment.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    const int fd = ::open(workbook.c_str(), O_WRONLY | O_APPEND);
    const char byte = fd >= 0 ? 'y' : 'n';
    if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
    ::pause();  // holds the file open until killed
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_EQ(byte, 'y');
  const auto clean = CleanFiles();
  EXPECT_EQ(Tool(workbook, dir / "out"), 0);
  EXPECT_EQ(FilesIn(dir / "out"), clean);
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST_F(FileFaultTest, MissingOutputDirectoryIsAUsageError) {
  EXPECT_EQ(Tool(workbook, dir / "nowhere"), 64);
  EXPECT_NE(console.err.find(u"output folder does not exist: "), Text::npos);
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

// A later group's file that cannot be written leaves the files before and after it intact,
// and is listed after the run's final status.
struct BlockedCase {
  const char* name;
  std::function<void(const fs::path&)> block;  // puts the fault in place of the path
  int code;
};

TEST_F(FileFaultTest, BlockedListFileIsReportedAndOthersStayWhole) {
  const auto clean = CleanFiles();
  ASSERT_EQ(clean.size(), 3u);
  const std::vector<BlockedCase> cases = {
      {"directory in the way", [](const fs::path& p) { fs::create_directories(p / "x"); }, 5},
      {"disk full", [](const fs::path& p) { fs::create_symlink("/dev/full", p); }, 112},
  };
  for (const BlockedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path out = dir / c.name;
    fs::create_directories(out);
    c.block(out / "5003.txt");
    EXPECT_EQ(Tool(workbook, out, false), 4);
    auto expected = clean;
    expected.erase("5003.txt");
    EXPECT_EQ(FilesIn(out), expected);
    const Text failed = u"读取完毕!\n以下列表文件未能写入:\n";
    const std::size_t at = console.err.find(failed);
    ASSERT_NE(at, Text::npos) << testing::PrintToString(console.err);
    EXPECT_NE(console.err.find(PathText(out / "5003.txt"), at), Text::npos);
    EXPECT_NE(console.err.find(u"(错误代码 " + DecimalText(c.code) + u": ", at), Text::npos);
  }
}

TEST_F(FileFaultTest, FailedRunLeavesListFilesOfAnEarlierRunAlone) {
  ASSERT_EQ(Tool(workbook, dir / "out"), 0);
  const auto before = FilesIn(dir / "out");
  ASSERT_EQ(before.size(), 3u);
  // A later run on an unreadable (too large) workbook, and one on a missing workbook.
  const fs::path big = dir / "big.xml";
  const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t{3} << 30), 0);
  ::close(fd);
  EXPECT_EQ(Tool(big, dir / "out"), 3);
  EXPECT_EQ(Tool(dir / "missing.xml", dir / "out"), 2);
  EXPECT_EQ(FilesIn(dir / "out"), before);
}

// Where an installed tool cannot write its own folder, its default output folder is the current
// directory; this is the test that decides it.
TEST_F(FileFaultTest, FolderWithoutWritePermissionIsNotWritable) {
  if (IsRoot()) GTEST_SKIP() << "root writes anywhere; run as an unprivileged user";
  fs::permissions(dir / "out", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(IsWritableDirectory(PathText(dir / "out")));
  EXPECT_TRUE(IsWritableDirectory(PathText(dir / "clean")));
}

TEST_F(FileFaultTest, OutputDirectoryWithoutWritePermissionFailsEveryWrite) {
  if (IsRoot()) GTEST_SKIP() << "root writes anywhere; run as an unprivileged user";
  std::ofstream(dir / "out" / "5001.txt") << "older";
  fs::permissions(dir / "out", fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(dir / "out" / "5001.txt", fs::perms::owner_read);
  EXPECT_EQ(Tool(workbook, dir / "out", false), 4);
  EXPECT_EQ(ReadAll(dir / "out" / "5001.txt"), "older");
  EXPECT_EQ(FilesIn(dir / "out").size(), 1u);
  for (const char* name : {"5001.txt", "5003.txt", "5005.txt"}) {
    EXPECT_NE(console.err.find(PathText(dir / "out" / name) + u" (错误代码 5: 拒绝访问)"),
              Text::npos)
        << name;
  }
}

}  // namespace
}  // namespace drumlo
