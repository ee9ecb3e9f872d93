// Run as an unprivileged user (see scripts/run-unprivileged.sh): root may write read-only files.
#include <gtest/gtest.h>

#include <filesystem>

#include "fileio/file_access.h"
#include "temp_dir.h"

namespace drumlo {
namespace {

using ReadOnlyListFile = TempDirTest;

TEST_F(ReadOnlyListFile, CannotBeReplacedAndStaysAsItWas) {
  Put(u"5000.txt", "the old list");
  namespace fs = std::filesystem;
  fs::permissions(Native(u"5000.txt"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(WriteFileBytes(PathOf(u"5000.txt"), BytesOf("new")), kErrorAccessDenied);
  EXPECT_EQ(Content(u"5000.txt"), "the old list");
  EXPECT_TRUE(FileExists(PathOf(u"5000.txt")));
}

}  // namespace
}  // namespace drumlo
