// How POSIX failures reach the callers as the Windows codes they know: paths the system
// refuses, special files, and the process limits on descriptors, file size and memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fileio/file_access.h"
#include "temp_dir.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define DRUMLO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DRUMLO_ASAN 1
#endif
#endif

namespace drumlo {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kTooManyOpenFiles = 4;
constexpr std::int32_t kNotEnoughMemory = 8;
constexpr std::int32_t kGeneralFailure = 31;
constexpr std::int32_t kEndOfFile = 38;
constexpr std::int32_t kFilenameTooLong = 206;
constexpr std::int32_t kCantResolveFilename = 1921;

// Lowers one soft limit of this process for the life of the object.
class SoftLimit {
 public:
  SoftLimit(int resource, rlim_t value) : resource_(resource) {
    ok_ = ::getrlimit(resource_, &saved_) == 0;
    rlimit lowered = saved_;
    lowered.rlim_cur = value;
    ok_ = ok_ && ::setrlimit(resource_, &lowered) == 0;
  }
  ~SoftLimit() {
    if (ok_) ::setrlimit(resource_, &saved_);
  }
  SoftLimit(const SoftLimit&) = delete;
  SoftLimit& operator=(const SoftLimit&) = delete;
  [[nodiscard]] bool ok() const { return ok_; }

 private:
  int resource_;
  rlimit saved_{};
  bool ok_ = false;
};

class FileAccessErrorsTest : public TempDirTest {
 public:
  // The case table's path makers prepare the folder too.
  using TempDirTest::Native;
  using TempDirTest::PathOf;
  using TempDirTest::Put;
};

// Each case makes a path the system refuses in one way and gives the codes of both calls.
struct PathCase {
  const char* label;
  std::function<Text(FileAccessErrorsTest&)> make;
  std::int32_t read_code;
  std::int32_t write_code;
};

void PrintTo(const PathCase& c, std::ostream* os) {
  *os << c.label;
}

class RefusedPathTest : public FileAccessErrorsTest,
                        public testing::WithParamInterface<PathCase> {};

TEST_P(RefusedPathTest, GivesTheCodeAndLeavesTheBufferAlone) {
  const PathCase& c = GetParam();
  const Text path = c.make(*this);
  Bytes buffer = BytesOf("kept");
  EXPECT_EQ(ReadFileBytes(path, buffer), c.read_code);
  EXPECT_EQ(buffer, BytesOf("kept"));
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(WriteFileBytes(path, BytesOf("x")), c.write_code);
}

Text FileUsedAsFolder(FileAccessErrorsTest& t) {
  t.Put(u"book.xml", "<Row/>");
  return t.PathOf(u"book.xml") + u"/5000.txt";
}

Text OverlongName(FileAccessErrorsTest& t) {
  return t.PathOf(Text(300, u'n') + u".txt");  // a name may hold 255 bytes
}

Text SymbolicLinkLoop(FileAccessErrorsTest& t) {
  fs::create_symlink(t.Native(u"b.txt"), t.Native(u"a.txt"));
  fs::create_symlink(t.Native(u"a.txt"), t.Native(u"b.txt"));
  return t.PathOf(u"a.txt");
}

// Nobody reads the FIFO: reading finds no regular file, writing must fail at once, not hang.
Text FifoWithoutReader(FileAccessErrorsTest& t) {
  EXPECT_EQ(::mkfifo(t.Native(u"pipe.txt").c_str(), 0600), 0);
  return t.PathOf(u"pipe.txt");
}

INSTANTIATE_TEST_SUITE_P(
    All, RefusedPathTest,
    testing::Values(
        PathCase{"FileUsedAsFolder", FileUsedAsFolder, kErrorPathNotFound, kErrorPathNotFound},
        PathCase{"OverlongName", OverlongName, kFilenameTooLong, kFilenameTooLong},
        PathCase{"SymbolicLinkLoop", SymbolicLinkLoop, kCantResolveFilename, kCantResolveFilename},
        PathCase{"FifoWithoutReader", FifoWithoutReader, kErrorAccessDenied, kGeneralFailure}),
    [](const testing::TestParamInfo<PathCase>& info) { return std::string(info.param.label); });

TEST_F(FileAccessErrorsTest, NoDescriptorLeftGives4) {
  Put(u"book.xml", "<Row/>");
  const int seed = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(seed, 0);
  std::vector<int> held = {seed};
  // Everything that may need a descriptor of its own (the sanitizers' checks included) is done
  // before the descriptors run out.
  const Text workbook = PathOf(u"book.xml");
  const Text list_file = PathOf(u"5000.txt");
  const Bytes content = BytesOf("x");
  Bytes buffer;
  buffer.reserve(64);
  // One read first: the undefined-behaviour sanitizer learns the reading code's types on their
  // first use, which takes a descriptor.
  ASSERT_EQ(ReadFileBytes(workbook, buffer), kErrorSuccess);
  std::int32_t read_result = 0;
  std::int32_t write_result = 0;
  {
    SoftLimit limit(RLIMIT_NOFILE, 64);
    ASSERT_TRUE(limit.ok());
    for (int fd = ::dup(seed); fd >= 0; fd = ::dup(seed))
      held.push_back(fd);
    ASSERT_EQ(errno, EMFILE);
    read_result = ReadFileBytes(workbook, buffer);
    write_result = WriteFileBytes(list_file, content);
  }
  EXPECT_EQ(read_result, kTooManyOpenFiles);
  EXPECT_EQ(write_result, kTooManyOpenFiles);
  for (const int fd : held)
    ::close(fd);
  EXPECT_FALSE(fs::exists(Native(u"5000.txt")));
}

TEST_F(FileAccessErrorsTest, WriteBeyondTheFileSizeLimitGives223AndKeepsTheOldFile) {
  Put(u"5000.txt", "the old list");
  // Past the limit the system would send SIGXFSZ, which ends the process unless ignored.
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  std::int32_t code = 0;
  {
    SoftLimit limit(RLIMIT_FSIZE, 1024);
    ASSERT_TRUE(limit.ok());
    code = WriteFileBytes(PathOf(u"5000.txt"), Bytes(4096, 0x41));
  }
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(code, kErrorFileTooLarge);
  EXPECT_EQ(Content(u"5000.txt"), "the old list");
  EXPECT_EQ(Names(), std::vector<std::string>{"5000.txt"});
}

TEST_F(FileAccessErrorsTest, FullDeviceGives112) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  EXPECT_EQ(WriteFileBytes(u"/dev/full", BytesOf("<Music")), kErrorDiskFull);
}

// A file that delivers fewer bytes than its size says, as one that shrinks while it is read:
// the kernel's attribute files report a size of a whole page.
TEST_F(FileAccessErrorsTest, FileEndingBeforeItsSizeGives38) {
  const fs::path shrinking = "/sys/devices/system/cpu/online";
  struct stat info {};
  if (::stat(shrinking.c_str(), &info) != 0 || info.st_size <= 16) {
    GTEST_SKIP() << "no attribute file larger than its content here";
  }
  Bytes buffer;
  EXPECT_EQ(ReadFileBytes(shrinking.u16string(), buffer), kEndOfFile);
}

TEST_F(FileAccessErrorsTest, WorkbookLargerThanFreeMemoryGives8) {
#ifdef DRUMLO_ASAN
  GTEST_SKIP() << "the sanitizers abort on a failed allocation instead of throwing";
#else
  // Just below the size limit, sparse; the address space allowed is far smaller.
  Put(u"big.xml", "");
  fs::resize_file(Native(u"big.xml"), (std::uintmax_t{1} << 31) - 1);
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  if (!(statm >> pages)) GTEST_SKIP() << "no /proc/self/statm to size the limit from";
  const auto in_use = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  Bytes buffer = BytesOf("kept");
  std::int32_t code = 0;
  {
    SoftLimit limit(RLIMIT_AS, in_use + (std::uint64_t{256} << 20));
    ASSERT_TRUE(limit.ok());
    code = ReadFileBytes(PathOf(u"big.xml"), buffer);
  }
  EXPECT_EQ(code, kNotEnoughMemory);
#endif
}

}  // namespace
}  // namespace drumlo
