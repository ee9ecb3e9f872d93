// Replacing a list file on POSIX: a write that dies part way leaves the old file whole, and the
// new file looks as the truncating write left it (links, permission bits, owner).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/file_access.h"
#include "fileio/temporary_file.h"
#include "temp_dir.h"

namespace drumlo {
namespace {

namespace fs = std::filesystem;
using NameList = std::vector<std::string>;
using ReplaceTest = TempDirTest;

Text TemporaryName(const char* list, long pid) {
  return fs::path("~" + std::string(list) + "." + std::to_string(pid) + ".tmp").u16string();
}

int paused_writer_fd = -1;  // where a paused writer says so

// The writer is killed while its temporary file holds the first half of the new list. A new list
// is written unnamed where the system can, so nothing of it is seen at all.
TEST_F(ReplaceTest, KilledWriterLeavesTheListFileAsItWas) {
  for (const char* old_list : {"the old list", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(old_list != nullptr ? "over an old list" : "a new list");
    const fs::path folder = dir_ / (old_list != nullptr ? "old" : "new");
    const Text list_file = (folder / "5000.txt").u16string();
    fs::create_directory(folder);
    if (old_list != nullptr) Put(list_file, old_list);
    const Bytes new_list(64 * 1024, 'n');
    int paused[2];
    ASSERT_EQ(::pipe(paused), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
      paused_writer_fd = paused[1];
      pause_mid_write_for_tests = [] {
        if (::write(paused_writer_fd, "p", 1) == 1) ::pause();
      };
      ::_exit(WriteFileBytes(list_file, new_list) == kErrorSuccess ? 0 : 1);
    }
    ::close(paused[1]);
    char byte = 0;
    const bool writer_paused = ::read(paused[0], &byte, 1) == 1;
    ::close(paused[0]);
    std::error_code error;
    const Text temporary = TemporaryName("5000.txt", writer);
    const auto written = fs::file_size(folder / temporary, error);
    const NameList seen = NamesIn(folder);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ASSERT_TRUE(writer_paused);
    if (old_list != nullptr || !seen.empty()) {
      EXPECT_EQ(written, new_list.size() / 2) << error.message();
    }
    EXPECT_EQ(fs::exists(list_file), old_list != nullptr);
    EXPECT_EQ(Content(list_file), old_list != nullptr ? old_list : "");
    // The next write removes what the killed writer left.
    ASSERT_EQ(WriteFileBytes(list_file, BytesOf("new")), kErrorSuccess);
    EXPECT_EQ(NamesIn(folder), NameList{"5000.txt"});
  }
}

// Mounting needs root; CI runs as root, so there the test must not skip.
TEST_F(ReplaceTest, FullDiskKeepsTheOldListFileAndLeavesNoTemporaryFile) {
  const fs::path small = Native(u"small");
  fs::create_directory(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
    const std::string why = std::string("cannot mount a small tmpfs: ") + std::strerror(errno);
    if (std::getenv("CI") != nullptr) FAIL() << why << " (CI is set)";
    GTEST_SKIP() << why;
  }
  const std::string old_list(16 * 1024, 'o');
  Put(u"small/5000.txt", old_list);
  EXPECT_EQ(WriteFileBytes(PathOf(u"small/5000.txt"), Bytes(96 * 1024, 'n')), kErrorDiskFull);
  EXPECT_EQ(Content(u"small/5000.txt"), old_list);
  EXPECT_EQ(NamesIn(small), NameList{"5000.txt"});
  EXPECT_EQ(::umount(small.c_str()), 0);
}

// The link stays a link; the file it leads to is replaced, its temporary file made beside it.
TEST_F(ReplaceTest, SymbolicLinkKeepsLeadingToTheReplacedFile) {
  const struct {
    const char* folder;
    bool absolute;
    bool target_exists;
  } cases[] = {{"relative", false, true}, {"absolute", true, true}, {"nowhere-yet", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const fs::path folder = dir_ / c.folder;
    fs::create_directories(folder / "lists");
    if (c.target_exists) Put((folder / "lists/real.txt").u16string(), "old");
    const fs::path target = c.absolute ? folder / "lists/real.txt" : "lists/real.txt";
    fs::create_symlink(target, folder / "5000.txt");
    ASSERT_EQ(WriteFileBytes((folder / "5000.txt").u16string(), BytesOf("new")), kErrorSuccess);
    EXPECT_EQ(fs::read_symlink(folder / "5000.txt"), target);
    EXPECT_EQ(Content((folder / "lists/real.txt").u16string()), "new");
    EXPECT_EQ(NamesIn(folder), (NameList{"5000.txt", "lists"}));
    EXPECT_EQ(NamesIn(folder / "lists"), NameList{"real.txt"});
  }
}

// A new list file gets 0666 less the umask, not the temporary file's own; a replaced one keeps
// its bits, and its owner where root writes it.
TEST_F(ReplaceTest, PermissionBitsAndOwnerAreThoseTheTruncatingWriteLeft) {
  const struct {
    int old_mode;  // -1: no list file yet
    mode_t umask;
    mode_t expected;
  } cases[] = {{-1, 022, 0644}, {-1, 077, 0600}, {0640, 0, 0640}, {0664, 077, 0664}};
  const bool root = ::geteuid() == 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "old mode " << c.old_mode << ", umask " << c.umask);
    fs::remove(Native(u"5000.txt"));
    if (c.old_mode >= 0) {
      Put(u"5000.txt", "old");
      ASSERT_EQ(::chmod(Native(u"5000.txt").c_str(), static_cast<mode_t>(c.old_mode)), 0);
      ASSERT_TRUE(!root || ::chown(Native(u"5000.txt").c_str(), 65534, 65534) == 0);
    }
    const mode_t saved = ::umask(c.umask);
    const std::int32_t code = WriteFileBytes(PathOf(u"5000.txt"), BytesOf("new"));
    ::umask(saved);
    ASSERT_EQ(code, kErrorSuccess);
    struct stat info {};
    ASSERT_EQ(::stat(Native(u"5000.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, c.expected);
    EXPECT_TRUE(!root || c.old_mode < 0 || info.st_uid == 65534u) << info.st_uid;
  }
}

// Another live process may be writing the same list file right now.
TEST_F(ReplaceTest, TemporaryFilesOfLiveProcessesStay) {
  Put(TemporaryName("5000.txt", ::getppid()), "half");
  Put(TemporaryName("5000.txt", 1), "half");
  ASSERT_EQ(WriteFileBytes(PathOf(u"5000.txt"), BytesOf("new")), kErrorSuccess);
  EXPECT_EQ(Names().size(), 3u);
}

}  // namespace
}  // namespace drumlo
