#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fileio/file_access.h"
#include "temp_dir.h"

namespace drumlo {
namespace {

using FileAccessTest = TempDirTest;

TEST_F(FileAccessTest, MissingFileGives2AndLeavesBufferAlone) {
  Bytes buffer = BytesOf("kept");
  EXPECT_EQ(ReadFileBytes(PathOf(u"missing.xml"), buffer), kErrorFileNotFound);
  EXPECT_EQ(buffer, BytesOf("kept"));
  EXPECT_FALSE(FileExists(PathOf(u"missing.xml")));
}

TEST_F(FileAccessTest, MissingFolderGives3) {
  Bytes buffer;
  const Text path = (dir_ / "no-such-folder" / "a.xml").u16string();
  EXPECT_EQ(ReadFileBytes(path, buffer), kErrorPathNotFound);
  EXPECT_EQ(WriteFileBytes(path, BytesOf("x")), kErrorPathNotFound);
}

TEST_F(FileAccessTest, EmptyFileGives0NoBytesAndEmptyText) {
  Put(u"empty.xml", "");
  Bytes buffer;
  EXPECT_EQ(ReadFileBytes(PathOf(u"empty.xml"), buffer), kErrorSuccess);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(Utf8ToText(buffer), u"");
  EXPECT_TRUE(FileExists(PathOf(u"empty.xml")));
}

TEST_F(FileAccessTest, ReadGivesEveryByte) {
  std::string content("\xEF\xBB\xBF<Row>\0\xFF</Row>", 15);
  Put(u"book.xml", content);
  Bytes buffer = BytesOf("previous content that is longer");
  EXPECT_EQ(ReadFileBytes(PathOf(u"book.xml"), buffer), kErrorSuccess);
  EXPECT_EQ(buffer, BytesOf(content));
}

// Gathered from several pieces, the last one short.
TEST_F(FileAccessTest, FileOfManyPiecesReadsWhole) {
  std::string content(2 * kPieceBytes + 12345, '\0');
  for (std::size_t k = 0; k < content.size(); ++k)
    content[k] = static_cast<char>('a' + k % 23);
  Put(u"big.xml", content);
  Bytes buffer;
  EXPECT_EQ(ReadFileBytes(PathOf(u"big.xml"), buffer), kErrorSuccess);
  EXPECT_TRUE(buffer == BytesOf(content));
}

// A sink that cannot take the file's size stops the reading: no pieces, 8.
class RefusingSink : public PieceSink {
 public:
  bool Size(std::size_t) override { return false; }
  void Piece(std::span<const std::uint8_t>) override { ++pieces; }
  int pieces = 0;
};

TEST_F(FileAccessTest, SinkRefusingTheSizeGets8AndNoPieces) {
  Put(u"book.xml", "<Row/>");
  RefusingSink direct;
  EXPECT_EQ(ReadFilePieces(PathOf(u"book.xml"), direct), kErrorNotEnoughMemory);
  EXPECT_EQ(direct.pieces, 0);
  RefusingSink through_whole_read;  // the interface's default reads whole, then hands over
  EXPECT_EQ(SystemFiles().FileAccess::ReadPieces(PathOf(u"book.xml"), through_whole_read),
            kErrorNotEnoughMemory);
  EXPECT_EQ(through_whole_read.pieces, 0);
}

TEST_F(FileAccessTest, ChineseNameWithSpacesRoundTrips) {
  const Text name = u"歌曲 规范 总表.xml";
  const Bytes bytes = TextToBytes(u"\uFEFF<Music 歌>");
  ASSERT_EQ(WriteFileBytes(PathOf(name), bytes), kErrorSuccess);
  EXPECT_TRUE(std::filesystem::exists(Native(name)));
  EXPECT_TRUE(FileExists(PathOf(name)));
  Bytes buffer;
  EXPECT_EQ(ReadFileBytes(PathOf(name), buffer), kErrorSuccess);
  EXPECT_EQ(buffer, bytes);
}

TEST_F(FileAccessTest, ShorterContentReplacesLongerFileWhole) {
  Put(u"5000.txt", std::string(4096, 'L'));
  ASSERT_EQ(WriteFileBytes(PathOf(u"5000.txt"), BytesOf("short")), kErrorSuccess);
  EXPECT_EQ(Content(u"5000.txt"), "short");
  EXPECT_EQ(Names(), std::vector<std::string>{"5000.txt"});  // no temporary file left
}

// The temporary file's name must stay within a name's 255 units however long the file's is.
TEST_F(FileAccessTest, NameOfAlmostTheLongestLengthCanBeReplaced) {
  const Text name = Text(240, u'n') + u".txt";
  Put(name, "old");
  ASSERT_EQ(WriteFileBytes(PathOf(name), BytesOf("new")), kErrorSuccess);
  EXPECT_EQ(Content(name), "new");
  EXPECT_EQ(Names().size(), 1u);
}

// A killed writer leaves "~" name "." process id ".tmp" beside the list file. 999999999 is the
// id of no process on Linux (ids stay below 2^22) nor under Windows.
TEST_F(FileAccessTest, WritingAListFileRemovesOnlyWhatADeadWriterLeftForIt) {
  const struct {
    const char* name;
    bool removed;
  } cases[] = {{"~5001.txt.999999999.tmp", true},
               {"~5002.txt.999999999.tmp", false},
               {"5001.txt.999999999.tmp", false},
               {"~5001.txt.x.tmp", false},
               {"~5001.txt.999999999.bak", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path folder = dir_ / c.name;  // a folder not looked through yet
    std::filesystem::create_directory(folder);
    Put((folder / c.name).u16string(), "half a list");
    ASSERT_EQ(WriteFileBytes((folder / "5001.txt").u16string(), BytesOf("new")), kErrorSuccess);
    EXPECT_EQ(Content((folder / "5001.txt").u16string()), "new");
    EXPECT_EQ(std::filesystem::exists(folder / c.name), !c.removed);
  }
}

TEST_F(FileAccessTest, EmptyBufferLeavesEmptyFile) {
  Put(u"5001.txt", "old content");
  ASSERT_EQ(WriteFileBytes(PathOf(u"5001.txt"), Bytes()), kErrorSuccess);
  EXPECT_TRUE(std::filesystem::exists(Native(u"5001.txt")));
  EXPECT_EQ(Content(u"5001.txt"), "");
}

// Holds for root too: no permission lets a file replace a folder.
TEST_F(FileAccessTest, FolderInTheWayOfListFileGives5) {
  std::filesystem::create_directory(Native(u"5002.txt"));
  EXPECT_EQ(WriteFileBytes(PathOf(u"5002.txt"), BytesOf("x")), kErrorAccessDenied);
  EXPECT_TRUE(std::filesystem::is_directory(Native(u"5002.txt")));
}

TEST_F(FileAccessTest, FolderIsNoFileToReadOrTest) {
  std::filesystem::create_directory(Native(u"folder"));
  Bytes buffer = BytesOf("kept");
  EXPECT_EQ(ReadFileBytes(PathOf(u"folder"), buffer), kErrorAccessDenied);
  EXPECT_EQ(buffer, BytesOf("kept"));
  EXPECT_FALSE(FileExists(PathOf(u"folder")));
}

TEST_F(FileAccessTest, FileOf2GiBGives223AndNoBytes) {
  Put(u"huge.xml", "");
  std::filesystem::resize_file(Native(u"huge.xml"), std::uintmax_t{1} << 31);  // sparse
  Bytes buffer;
  EXPECT_EQ(ReadFileBytes(PathOf(u"huge.xml"), buffer), kErrorFileTooLarge);
  EXPECT_TRUE(buffer.empty());
}

TEST_F(FileAccessTest, PathWithNulNamesNoFile) {
  const Text path = PathOf(u"a.txt") + Text(1, u'\0') + u"b";
  EXPECT_EQ(WriteFileBytes(path, BytesOf("x")), 123);
  EXPECT_FALSE(std::filesystem::exists(Native(u"a.txt")));
  Put(u"a.txt", "x");
  Bytes buffer;
  EXPECT_EQ(ReadFileBytes(path, buffer), 123);
  EXPECT_FALSE(FileExists(path));
}

TEST_F(FileAccessTest, SystemFilesReachesTheDisk) {
  FileAccess& files = SystemFiles();
  ASSERT_EQ(files.Write(PathOf(u"5003.txt"), BytesOf("via interface")), kErrorSuccess);
  EXPECT_TRUE(files.Exists(PathOf(u"5003.txt")));
  Bytes buffer;
  EXPECT_EQ(files.Read(PathOf(u"5003.txt"), buffer), kErrorSuccess);
  EXPECT_EQ(buffer, BytesOf("via interface"));
}

}  // namespace
}  // namespace drumlo
