// Through the real Win32 calls: share modes and attributes that only Windows has.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fileio/file_access.h"
#include "temp_dir.h"

namespace drumlo {
namespace {

using Win32FileAccess = TempDirTest;

std::wstring Wide(TextView text) {
  return std::wstring(text.begin(), text.end());
}

HANDLE OpenForWriting(TextView path, DWORD share) {
  return CreateFileW(Wide(path).c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST_F(Win32FileAccess, WorkbookHeldOpenForWritingGives32AndNoBytes) {
  Put(u"book.xml", "<Row/>");
  const HANDLE writer = OpenForWriting(PathOf(u"book.xml"), FILE_SHARE_READ);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  Bytes buffer;
  EXPECT_EQ(ReadFileBytes(PathOf(u"book.xml"), buffer), kErrorSharingViolation);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(Utf8ToText(buffer), u"");
  CloseHandle(writer);
  EXPECT_EQ(ReadFileBytes(PathOf(u"book.xml"), buffer), kErrorSuccess);
  EXPECT_EQ(buffer, BytesOf("<Row/>"));
}

TEST_F(Win32FileAccess, WorkbookOpenForReadingStaysReadable) {
  Put(u"book.xml", "<Row/>");
  const HANDLE reader = CreateFileW(Wide(PathOf(u"book.xml")).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  Bytes buffer;
  EXPECT_EQ(ReadFileBytes(PathOf(u"book.xml"), buffer), kErrorSuccess);
  EXPECT_EQ(buffer, BytesOf("<Row/>"));
  CloseHandle(reader);
}

TEST_F(Win32FileAccess, ListFileOpenElsewhereGives32AndStaysAsItWas) {
  Put(u"5000.txt", "old");
  const HANDLE reader =
      CreateFileW(Wide(PathOf(u"5000.txt")).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WriteFileBytes(PathOf(u"5000.txt"), BytesOf("new")), kErrorSharingViolation);
  CloseHandle(reader);
  EXPECT_EQ(Content(u"5000.txt"), "old");
}

TEST_F(Win32FileAccess, PlainFolderIsNoFileButHiddenFolderIs) {
  std::filesystem::create_directory(Native(u"plain"));
  std::filesystem::create_directory(Native(u"hidden"));
  ASSERT_TRUE(SetFileAttributesW(Wide(PathOf(u"hidden")).c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(GetFileAttributesW(Wide(PathOf(u"plain")).c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  EXPECT_FALSE(FileExists(PathOf(u"plain")));
  EXPECT_TRUE(FileExists(PathOf(u"hidden")));
}

TEST_F(Win32FileAccess, NewListFileCarriesOnlyTheNormalAttribute) {
  ASSERT_EQ(WriteFileBytes(PathOf(u"5001.txt"), BytesOf("x")), kErrorSuccess);
  const DWORD attributes = GetFileAttributesW(Wide(PathOf(u"5001.txt")).c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            0u);
}

}  // namespace
}  // namespace drumlo
