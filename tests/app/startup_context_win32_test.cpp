// Under Windows (Wine in CI): the start-up context of this process and of child processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/startup_context.h"
#include "fileio/file_access.h"

namespace drumlo {
namespace {

std::wstring Wide(TextView text) {
  return std::wstring(text.begin(), text.end());
}

std::vector<Text> Lines(const Text& text) {
  std::vector<Text> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(u'\n', start)) != Text::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

struct ProbeReport {
  Text exe_path;
  Text app_dir;
  Text argument_text;
  std::vector<Text> args;
};

class ChildProcess : public testing::Test {
 protected:
  void SetUp() override {
    InitApp();
    dir_ = std::filesystem::temp_directory_path() /
           ("drumlo probe " + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(dir_);
    out_ = (dir_ / "report.txt").u16string();
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // Copies the probe to `exe` and starts it with `command_line`.
  ProbeReport Run(const Text& exe, const Text& command_line) {
    std::filesystem::create_directories(std::filesystem::path(exe).parent_path());
    const Text probe = GetAppDir() + u"app_cmdline_probe.exe";
    EXPECT_TRUE(CopyFileW(Wide(probe).c_str(), Wide(exe).c_str(), FALSE)) << GetLastError();
    SetEnvironmentVariableW(L"DRUMLO_PROBE_OUT", Wide(out_).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = Wide(command_line);
    const BOOL started = CreateProcessW(Wide(exe).c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
    EXPECT_TRUE(started) << GetLastError();
    if (!started) return {};
    WaitForSingleObject(process.hProcess, 60000);
    DWORD exit_code = 1;
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exit_code, 0u);
    Bytes bytes;
    EXPECT_EQ(ReadFileBytes(out_, bytes), kErrorSuccess);
    Text report(bytes.size() / 2, u'\0');
    for (std::size_t k = 0; k < report.size(); ++k) {
      report[k] = static_cast<char16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
    }
    std::vector<Text> lines = Lines(report);
    if (lines.size() < 4) return {};
    return {lines[0], lines[1], lines[2], std::vector<Text>(lines.begin() + 3, lines.end())};
  }

  std::filesystem::path dir_;
  Text out_;
};

TEST(InitAppWin32, AppDirOfTestExecutableEndsWithBackslash) {
  InitApp();
  const Text dir = GetAppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), u'\\');
  EXPECT_EQ(GetExePath().substr(0, dir.size()), dir);
  EXPECT_EQ(GetExePath().substr(dir.size()), u"app_tests.exe");
  EXPECT_TRUE(FileExists(GetExePath()));
  EXPECT_EQ(GetArg(GetArgCount()), u"");
  EXPECT_EQ(GetArg(-1), u"");
}

TEST_F(ChildProcess, QuotedProgramPathAndArgumentGiveTwoElements) {
  const std::filesystem::path folder = dir_ / "Program Files" / "歌曲 工具";
  const Text exe = (folder / "gen.exe").u16string();
  const ProbeReport report = Run(exe, u"\"" + exe + u"\" 歌曲规范总表.xml");
  EXPECT_EQ(report.exe_path, exe);
  EXPECT_EQ(report.app_dir, (folder / "").u16string());
  EXPECT_EQ(report.argument_text, u"歌曲规范总表.xml");
  EXPECT_EQ(report.args, (std::vector<Text>{exe, u"歌曲规范总表.xml"}));
}

TEST_F(ChildProcess, QuotedArgumentWithSpacesStaysOneElement) {
  const std::filesystem::path folder = dir_ / "bin";
  const Text exe = (folder / "gen.exe").u16string();
  const ProbeReport report = Run(exe, u"gen.exe  \"C:\\My Books\\\"  ");
  EXPECT_EQ(report.argument_text, u"\"C:\\My Books\\\"  ");
  EXPECT_EQ(report.args, (std::vector<Text>{u"gen.exe", u"C:\\My Books\\"}));
}

}  // namespace
}  // namespace drumlo
