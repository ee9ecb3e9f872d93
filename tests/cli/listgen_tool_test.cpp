// End-to-end tests of drumlo-listgen's logic on real files: the example workbook, the corpus
// of workbooks written by spreadsheet programs, exit codes and file-system failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/cli/console.h"
#include "ci.h"
#include "fileio/utf8.h"
#include "tool_test_support.h"
#include "workbooks.h"

namespace drumlo {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::map<std::string, std::string>& files) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files)
    names.push_back(name);
  return names;
}

// Same file names, and each file byte for byte the same (reported by name, not by content).
void ExpectSameFiles(const fs::path& actual_dir, const fs::path& expected_dir) {
  const auto actual = FilesIn(actual_dir);
  const auto expected = FilesIn(expected_dir);
  EXPECT_EQ(Names(actual), Names(expected));
  for (const auto& [name, bytes] : expected) {
    const auto it = actual.find(name);
    if (it != actual.end()) {
      EXPECT_TRUE(it->second == bytes) << name << " differs";
    }
  }
}

class ListToolTest : public testing::Test {
 protected:
  void SetUp() override {
    dir =
        fs::temp_directory_path() / ("listgen_test_" + std::to_string(std::rand()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
  }
  void TearDown() override { fs::remove_all(dir); }

  int Tool(std::vector<Text> args) {
    console = CapturingConsole();
    return RunListTool(args, console);
  }
  Text Out() const { return PathText(dir / "out"); }

  fs::path dir;
  CapturingConsole console;
};

const fs::path kSource = DRUMLO_SOURCE_DIR;
const fs::path kCorpus = DRUMLO_CORPUS_DIR;
const fs::path kExample = kSource / "examples" / u8"歌曲规范总表.xml";

TEST_F(ListToolTest, ExampleReproducesItsExpectedFiles) {
  ASSERT_EQ(Tool({u"--quiet", u"--out", Out(), PathText(kExample)}), 0)
      << testing::PrintToString(console.err);
  ASSERT_FALSE(FilesIn(kSource / "examples" / "expected").empty());
  ExpectSameFiles(dir / "out", kSource / "examples" / "expected");
  EXPECT_TRUE(console.err.empty());
}

TEST_F(ListToolTest, StatusesGoToStandardErrorAndReportToStandardOutput) {
  ASSERT_EQ(Tool({u"--report", u"--out", Out(), PathText(kExample)}), 0);
  EXPECT_EQ(console.err.rfind(u"正在读取文件", 0), 0u);
  EXPECT_NE(console.err.find(u"\n正在写入文件5001...\n"), Text::npos);
  EXPECT_NE(console.err.find(u"读取完毕!\n"), Text::npos);
  EXPECT_NE(console.out.find(u"songs accepted: 46\n"), Text::npos);
  ASSERT_EQ(Tool({u"--report=json", u"--dry-run", u"--quiet", u"--out", Out(), PathText(kExample)}),
            0);
  EXPECT_EQ(console.out.rfind(u"{\"outcome\":\"finished\",", 0), 0u);
  EXPECT_NE(console.out.find(u"\"dry_run\":true,"), Text::npos);
  EXPECT_TRUE(console.err.empty());
}

TEST_F(ListToolTest, DryRunWritesNothing) {
  ASSERT_EQ(Tool({u"--quiet", u"--dry-run", u"--out", Out(), PathText(kExample)}), 0);
  EXPECT_TRUE(FilesIn(dir / "out").empty());
}

struct ExitCase {
  std::vector<Text> args;
  int code;
};

TEST_F(ListToolTest, ExitCodesAndUsageErrors) {
  std::ofstream(dir / "empty.xml").close();
  std::ofstream(dir / "clean.xml") << Sheet(kHeader + Song(5001, "a"));
  const Text empty = PathText(dir / "empty.xml");
  const Text clean = PathText(dir / "clean.xml");
  const Text missing = PathText(dir / "missing.xml");
  const Text example = PathText(kExample);
  const std::vector<ExitCase> cases = {
      {{u"--out", Out(), missing}, 2},
      {{u"--out", Out(), empty}, 5},
      {{u"--quiet", u"--strict", u"--out", Out(), example}, 7},
      {{u"--strict", u"--out", Out(), clean}, 0},
      {{u"--out", PathText(dir / "nowhere"), example}, 64},
      {{u"--out", u"", example}, 64},
      {{u"--out", empty, example}, 64},
      {{u"--from", u"3e9", u"--out", Out(), example}, 64},
      {{u"--from", u"abc", u"--out", Out(), example}, 64},
      {{u"--to", u"-2147483648.5", u"--out", Out(), u"--dry-run", example}, 0},
      {{u"--bogus"}, 64},
      {{u"--quiet=yes", example}, 64},
      {{u"--lang", u"fr", example}, 64},
      {{u"--out"}, 64},
      {{example, example}, 64},
      {{u"--out", Out(), u"--", u"--help"}, 2},  // after "--" a name, however it looks
      {{u"--help"}, 0},
      {{u"--version"}, 0},
  };
  for (const ExitCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args.size()) + " args, first " +
                 testing::PrintToString(std::u16string(c.args[0])));
    EXPECT_EQ(Tool(c.args), c.code) << testing::PrintToString(console.err);
  }
  EXPECT_EQ(Tool({u"--version"}), 0);
  EXPECT_EQ(console.out, u"drumlo-listgen 1.0.0.52\n");
  EXPECT_EQ(Tool({u"--out", Out(), missing}), 2);
  EXPECT_EQ(console.err, u"没有发现歌曲列表文件: " + missing + u"\n");
  EXPECT_EQ(Tool({u"--lang", u"en", u"--out", empty, example}), 64);
  EXPECT_EQ(console.err.rfind(u"drumlo-listgen: --out names a file, not a folder: " + empty, 0),
            0u);
  EXPECT_EQ(Tool({u"--lang=zh", u"--from", u"abc", example}), 64);
  EXPECT_EQ(console.err.rfind(u"drumlo-listgen: 歌曲编号不是数字: --from abc\n用法: ", 0), 0u);
}

// What happened reaches the user without --report, also under --quiet when the run failed.
TEST_F(ListToolTest, SummaryLineAndEmptyStatusSurviveQuiet) {
  EXPECT_EQ(Tool({u"--lang", u"en", u"--out", Out(), PathText(kExample)}), 0);
  EXPECT_NE(console.err.find(u"\n46 songs written to 10 list files; 2 rows skipped, 1 value with "
                             u"problems, 4 other findings: see --report\n"),
            Text::npos);
  EXPECT_EQ(Tool({u"--lang", u"zh", u"--quiet", u"--out", Out(), PathText(kExample)}), 0);
  EXPECT_TRUE(console.err.empty());
  EXPECT_EQ(Tool({u"--lang", u"zh", u"--quiet", u"--strict", u"--out", Out(), PathText(kExample)}),
            7);
  EXPECT_EQ(console.err,
            u"46 首歌曲已写入 10 个列表文件; 2 行被跳过, 1 个值有问题, 4 条其他提示: "
            u"用 --report 查看\n");
  std::ofstream(dir / "empty.xml").close();
  EXPECT_EQ(Tool({u"--quiet", u"--out", Out(), PathText(dir / "empty.xml")}), 5);
  EXPECT_EQ(console.err, u"空文件!\n");
  EXPECT_EQ(Tool({u"--dry-run", u"--out", Out(), PathText(kExample)}), 0);
  EXPECT_NE(console.err.find(u"\n正在检查文件5001...\n"), Text::npos);
}

// The example's report in both languages and as JSON, with this run's paths replaced by
// {workbook} and {out} (DRUMLO_UPDATE_GOLDEN=1 rewrites the files).
TEST_F(ListToolTest, ExampleReportsMatchTheirExpectedFiles) {
  const std::pair<std::vector<Text>, const char*> reports[] = {
      {{u"--report", u"--lang", u"zh"}, "report.zh.txt"},
      {{u"--report=text", u"--lang", u"en"}, "report.en.txt"},
      {{u"--report=json"}, "report.json"},
  };
  const Text out_prefix = Out() + PathSeparator();
  const auto placeholders = [&](Text text) {
    for (const auto& [from, to] : {std::pair{PathText(kExample), Text(u"{workbook}")},
                                   std::pair{out_prefix, Text(u"{out}/")}}) {
      for (const Text& form : {from, JsonEscaped(from)}) {
        for (std::size_t at = text.find(form); at != Text::npos; at = text.find(form, at))
          text.replace(at, form.size(), to);
      }
    }
    return text;
  };
  for (const auto& [args, name] : reports) {
    SCOPED_TRACE(name);
    std::vector<Text> all = args;
    all.insert(all.end(), {u"--quiet", u"--out", Out(), PathText(kExample)});
    ASSERT_EQ(Tool(all), 0);
    const fs::path expected = kSource / "examples" / "expected-report" / name;
    const std::string got = EncodeUtf8(placeholders(console.out));
    if (std::getenv("DRUMLO_UPDATE_GOLDEN") != nullptr)
      std::ofstream(expected, std::ios::binary) << got;
    EXPECT_EQ(got, ReadAll(expected));
  }
}

TEST_F(ListToolTest, ListFileBlockedByDirectoryFailsWithCode4AndKeepsGoing) {
  fs::create_directories(dir / "out" / "5001.txt");  // holds for root as well
  EXPECT_EQ(Tool({u"--quiet", u"--out", Out(), PathText(kExample)}), 4);
  EXPECT_NE(console.err.find(u"以下列表文件未能写入:\n"), Text::npos);
  EXPECT_NE(console.err.find(u"5001.txt (错误代码 5: 拒绝访问)"), Text::npos);
  EXPECT_GT(FilesIn(dir / "out").size(), 2u);  // the other groups were still written
}

// Long help texts are broken at spaces to fit a terminal and carried on in the help column,
// where help2man finds them again as one paragraph.
TEST_F(ListToolTest, HelpFitsEightyColumnsAndWrapsInItsColumn) {
  ASSERT_EQ(Tool({u"--help", u"--lang", u"en"}), 0);
  Text joined;
  std::size_t start = 0;
  for (std::size_t end; (end = console.out.find(u'\n', start)) != Text::npos; start = end + 1) {
    const Text line = console.out.substr(start, end - start);
    EXPECT_LE(line.size(), 80u) << testing::PrintToString(line);
    joined += (line.starts_with(Text(24, u' ')) ? u" " + line.substr(24) : u"\n" + line);
  }
  EXPECT_NE(joined.find(u"\n  --out DIR             folder for the list files (default: the "
                        u"program's folder, or the current folder when the program's "
                        u"folder cannot be written)\n"),
            Text::npos)
      << testing::PrintToString(console.out);
}

// The test behind the default output folder: only an existing folder can take list files, and
// asking leaves nothing behind in it.
struct WritableCase {
  const char* name;
  const char* path;  // below the test's folder; "" the folder itself
  bool writable;
};

class WritableDirectoryTest : public ListToolTest,
                              public testing::WithParamInterface<WritableCase> {};

TEST_P(WritableDirectoryTest, AnswersWithoutLeavingFiles) {
  std::ofstream(dir / "plain.txt") << "a file, not a folder";
  const auto before = FilesIn(dir);
  EXPECT_EQ(IsWritableDirectory(PathText(dir / GetParam().path)), GetParam().writable);
  EXPECT_EQ(Names(FilesIn(dir)), Names(before));
}

INSTANTIATE_TEST_SUITE_P(Paths, WritableDirectoryTest,
                         testing::Values(WritableCase{"Folder", "", true},
                                         WritableCase{"Subfolder", "out", true},
                                         WritableCase{"Missing", "missing", false},
                                         WritableCase{"File", "plain.txt", false}),
                         [](const testing::TestParamInfo<WritableCase>& info) {
                           return std::string(info.param.name);
                         });

// Every workbook of the corpus runs through the tool; its list files equal the golden files
// kept under tests/golden/<set>/<workbook>/ (DRUMLO_UPDATE_GOLDEN=1 rewrites them).
TEST_F(ListToolTest, CorpusWorkbooksGiveTheirGoldenFiles) {
  const bool update = std::getenv("DRUMLO_UPDATE_GOLDEN") != nullptr;
  int seen = 0;
  for (const char* set : {"real", "songtable"}) {
    if (!fs::exists(kCorpus / set)) continue;
    for (const auto& entry : fs::directory_iterator(kCorpus / set)) {
      if (entry.path().extension() != ".xml") continue;
      SCOPED_TRACE(entry.path().string());
      ++seen;
      const fs::path out = dir / "corpus" / set / entry.path().stem();
      fs::create_directories(out);
      const int code = Tool({u"--quiet", u"--out", PathText(out), PathText(entry.path())});
      EXPECT_TRUE(code == 0 || code == 5) << code;
      const fs::path golden = kSource / "tests" / "golden" / set / entry.path().stem();
      if (update) {
        fs::remove_all(golden);
        fs::create_directories(golden);
        for (const auto& f : fs::directory_iterator(out))
          fs::copy(f.path(), golden);
      }
      ExpectSameFiles(out, golden);
    }
  }
  if (seen == 0 && InCi()) FAIL() << "corpus not found at " << kCorpus;
  if (seen == 0) GTEST_SKIP() << "corpus not found at " << kCorpus;
  EXPECT_EQ(seen, 31);
}

}  // namespace
}  // namespace drumlo
