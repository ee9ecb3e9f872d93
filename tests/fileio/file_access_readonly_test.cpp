// Run as an unprivileged user (see scripts/run-unprivileged.sh): root may write read-only files
// and make files in any folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fileio/file_access.h"
#include "temp_dir.h"

namespace drumlo {

// Lets or stops the making of new files in a folder; the files in it stay writable. Per platform.
void AllowMakingFiles(const std::filesystem::path& folder, bool allowed);

namespace {

using ReadOnlyListFile = TempDirTest;

// A rename would replace it whenever the folder may be written.
TEST_F(ReadOnlyListFile, CannotBeReplacedAndStaysAsItWas) {
  Put(u"5000.txt", "the old list");
  namespace fs = std::filesystem;
  fs::permissions(Native(u"5000.txt"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(WriteFileBytes(PathOf(u"5000.txt"), BytesOf("new")), kErrorAccessDenied);
  EXPECT_EQ(Content(u"5000.txt"), "the old list");
  EXPECT_TRUE(FileExists(PathOf(u"5000.txt")));
  EXPECT_EQ(Names(), std::vector<std::string>{"5000.txt"});
}

using FolderWithoutNewFiles = TempDirTest;

// No temporary file can be made: a list file that may be written is written in place, as it
// always was; a new one is refused.
TEST_F(FolderWithoutNewFiles, ExistingListFileIsWrittenInPlaceAndNewOneRefused) {
  Put(u"5000.txt", "the old list");
  AllowMakingFiles(dir_, false);
  EXPECT_EQ(WriteFileBytes(PathOf(u"5000.txt"), BytesOf("new")), kErrorSuccess);
  EXPECT_EQ(WriteFileBytes(PathOf(u"5001.txt"), BytesOf("new")), kErrorAccessDenied);
  AllowMakingFiles(dir_, true);
  EXPECT_EQ(Content(u"5000.txt"), "new");
  EXPECT_EQ(Names(), std::vector<std::string>{"5000.txt"});
}

}  // namespace
}  // namespace drumlo
