// Through the real Win32 calls: share modes and attributes that only Windows has.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

// Opened elsewhere, even with delete sharing, which would let the new file be moved over it.
TEST_F(Win32FileAccess, ListFileHeldOpenElsewhereGives32AndStaysAsItWas) {
  Put(u"5000.txt", "old");
  for (const DWORD share : {FILE_SHARE_READ | FILE_SHARE_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}) {
    SCOPED_TRACE(share);
    const HANDLE reader = CreateFileW(Wide(PathOf(u"5000.txt")).c_str(), GENERIC_READ, share,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteFileBytes(PathOf(u"5000.txt"), BytesOf("new")), kErrorSharingViolation);
    CloseHandle(reader);
    EXPECT_EQ(Content(u"5000.txt"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"5000.txt"});
  }
}

// As the truncating create refused them; under Wine, which let root truncate them, as well.
TEST_F(Win32FileAccess, ReadOnlyHiddenOrSystemListFileGives5AndStaysAsItWas) {
  Put(u"5000.txt", "old");
  const std::wstring path = Wide(PathOf(u"5000.txt"));
  for (const DWORD attribute :
       {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
    SCOPED_TRACE(attribute);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attribute));
    const DWORD before = GetFileAttributesW(path.c_str());
    ASSERT_NE(before & attribute, 0u);
    EXPECT_EQ(WriteFileBytes(PathOf(u"5000.txt"), BytesOf("new")), kErrorAccessDenied);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), before);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Content(u"5000.txt"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"5000.txt"});
  }
}

TEST_F(Win32FileAccess, PlainFolderIsNoFileButHiddenFolderIs) {
  std::filesystem::create_directory(Native(u"plain"));
  std::filesystem::create_directory(Native(u"hidden"));
  ASSERT_TRUE(SetFileAttributesW(Wide(PathOf(u"hidden")).c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(GetFileAttributesW(Wide(PathOf(u"plain")).c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  EXPECT_FALSE(FileExists(PathOf(u"plain")));
  EXPECT_TRUE(FileExists(PathOf(u"hidden")));
}

// Nothing carried over from the temporary file, whether the list file is new or replaced.
TEST_F(Win32FileAccess, ListFileCarriesOnlyTheAttributesOfANewFile) {
  constexpr DWORD kCarried = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY;
  for (int write = 0; write < 2; ++write) {
    ASSERT_EQ(WriteFileBytes(PathOf(u"5001.txt"), BytesOf("x")), kErrorSuccess);
    EXPECT_EQ(GetFileAttributesW(Wide(PathOf(u"5001.txt")).c_str()) & kCarried, 0u);
  }
}

}  // namespace
}  // namespace drumlo
