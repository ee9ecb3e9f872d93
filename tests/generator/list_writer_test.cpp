#include "generator/list_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace drumlo {
namespace {

// A file system whose workbook is read only when the test says so, with the result it says.
class GatedFiles : public FileAccess {
 public:
  bool Exists(TextView) override { return true; }
  std::int32_t Read(TextView, Bytes& buffer) override {
    buffer = Workbook();
    return 0;
  }
  std::int32_t ReadPieces(TextView, PieceSink& sink) override {
    const Bytes bytes = Workbook();
    sink.Size(bytes.size());
    sink.Piece(bytes);
    std::unique_lock<std::mutex> lock(mutex_);
    opened_.wait(lock, [this] { return gate_open_; });
    return read_result_;
  }
  std::int32_t Write(TextView path, std::span<const std::uint8_t> bytes) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    writes_.emplace_back(Text(path), Bytes(bytes.begin(), bytes.end()));
    const auto failure = write_errors_.find(Text(path));
    return failure == write_errors_.end() ? 0 : failure->second;
  }

  void EndRead(std::int32_t result) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      read_result_ = result;
      gate_open_ = true;
    }
    opened_.notify_all();
  }
  void FailWritesTo(TextView path, std::int32_t code) { write_errors_[Text(path)] = code; }
  std::vector<std::pair<Text, Bytes>> Writes() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
  }

 private:
  static Bytes Workbook() { return Bytes{'<', 'R', 'o', 'w', '/', '>'}; }

  std::mutex mutex_;
  std::condition_variable opened_;
  bool gate_open_ = false;
  std::int32_t read_result_ = 0;
  std::map<Text, std::int32_t> write_errors_;
  std::vector<std::pair<Text, Bytes>> writes_;
};

std::pair<Text, Bytes> Written(TextView path, TextView text) {
  return {Text(path), TextToBytes(text)};
}

// A writer that wrongly wrote early would most likely have done so by now.
void GiveWriterTime() {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

class ListWriterTest : public testing::TestWithParam<bool> {
 protected:
  bool own_thread() const { return GetParam(); }
};

TEST_P(ListWriterTest, HoldsFilesUntilTheWorkbookIsReadThenWritesThemInOrder) {
  GatedFiles files;
  files.FailWritesTo(u"b.txt", 5);
  WorkbookReader workbook(files, u"book.xml", true, nullptr);
  EXPECT_TRUE(workbook.WaitUntilBegun());
  ListWriter writer(files, workbook, own_thread(), nullptr);
  writer.Add(u"a.txt", u"\uFEFF<first 歌>");
  writer.Add(u"b.txt", u"\uFEFFb");
  GiveWriterTime();
  EXPECT_TRUE(files.Writes().empty());
  files.EndRead(0);
  writer.Add(u"a.txt", u"\uFEFF<again>");  // the same file again: the later text must win
  const std::vector<std::int32_t> codes = writer.Finish();
  EXPECT_EQ(codes, (std::vector<std::int32_t>{0, 5, 0}));
  const std::vector<std::pair<Text, Bytes>> want = {Written(u"a.txt", u"\uFEFF<first 歌>"),
                                                    Written(u"b.txt", u"\uFEFFb"),
                                                    Written(u"a.txt", u"\uFEFF<again>")};
  EXPECT_EQ(files.Writes(), want);
}

TEST_P(ListWriterTest, WritesNothingWhenTheReadFailsPartWay) {
  GatedFiles files;
  WorkbookReader workbook(files, u"book.xml", true, nullptr);
  EXPECT_TRUE(workbook.WaitUntilBegun());
  ListWriter writer(files, workbook, own_thread(), nullptr);
  writer.Add(u"a.txt", u"\uFEFFa");
  files.EndRead(38);
  writer.Add(u"b.txt", u"\uFEFFb");
  (void)writer.Finish();
  EXPECT_EQ(workbook.Result(), 38);
  EXPECT_TRUE(files.Writes().empty());
}

TEST_P(ListWriterTest, FinishWithNothingGivenWritesNothing) {
  GatedFiles files;
  WorkbookReader workbook(files, u"book.xml", true, nullptr);
  EXPECT_TRUE(workbook.WaitUntilBegun());
  ListWriter writer(files, workbook, own_thread(), nullptr);
  files.EndRead(0);
  EXPECT_TRUE(writer.Finish().empty());
  EXPECT_TRUE(files.Writes().empty());
}

INSTANTIATE_TEST_SUITE_P(Threads, ListWriterTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("OwnThread") : std::string("Caller");
                         });

}  // namespace
}  // namespace drumlo
