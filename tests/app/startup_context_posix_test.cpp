#include <gtest/gtest.h>

#include <string>

#include "app/startup_context.h"
#include "fileio/file_access.h"

namespace drumlo {
namespace {

TEST(InitAppPosix, TakesArgumentsAsReceived) {
  const char* argv[] = {"./listgen", "歌曲 规范总表.xml", "", "x"};
  SetProcessArguments(4, argv);
  InitApp();
  EXPECT_EQ(GetArgCount(), 4);
  EXPECT_EQ(GetArg(0), u"./listgen");
  EXPECT_EQ(GetArg(1), u"歌曲 规范总表.xml");
  EXPECT_EQ(GetArg(2), u"");
  EXPECT_EQ(GetArgumentText(), u"歌曲 规范总表.xml  x");
  EXPECT_EQ(GetArg(4), u"");
  EXPECT_EQ(GetArg(-1), u"");
}

TEST(InitAppPosix, NoArgumentsGiveExePathAlone) {
  SetProcessArguments(0, nullptr);
  InitApp();
  EXPECT_EQ(GetArgCount(), 1);
  EXPECT_EQ(GetArg(0), GetExePath());
  EXPECT_EQ(GetArgumentText(), u"");
}

TEST(InitAppPosix, AppDirIsTheFolderOfTheRunningExecutable) {
  InitApp();
  const Text exe = GetExePath();
  const Text dir = GetAppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), u'/');
  EXPECT_EQ(exe.substr(0, dir.size()), dir);
  EXPECT_EQ(exe.find(u'/', dir.size()), Text::npos);
  EXPECT_TRUE(FileExists(exe));
  EXPECT_EQ(exe.substr(dir.size()), u"app_tests");
}

}  // namespace
}  // namespace drumlo
