// The window program as a user meets it: started from its own folder, driven through its
// window, its files and message boxes checked, screenshots saved.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "resource.h"
#include "ui_common.h"

namespace drumlo::ui {
namespace {

// The icon a message box shows, told apart by its pixels (icon handles are per process).
const std::vector<LPCWSTR> kBoxIcons = {IDI_INFORMATION, IDI_WARNING, IDI_ERROR, IDI_QUESTION};
LPCWSTR ShownIcon(const MessageBoxView& box) {
  if (box.icon == nullptr) return nullptr;
  const int index = ClosestSystemIcon(box.icon, kBoxIcons);
  return index < 0 ? nullptr : kBoxIcons[static_cast<std::size_t>(index)];
}

void CloseBox(const MessageBoxView& box) {
  PostMessageW(GetDlgItem(box.hwnd, IDOK), BM_CLICK, 0, 0);
  EXPECT_TRUE(RunningApp::WaitFor([&] { return !IsWindow(box.hwnd); }, kBoxMs));
}

TEST(Window, StartsWithDefaultTextsAndFocusInPath) {
  TempDir dir;
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  EXPECT_EQ(RunningApp::TextOf(app.window()), kTitle);
  EXPECT_EQ(app.Text(IDC_TXFILE), L"歌曲规范总表.xml");
  EXPECT_EQ(app.Text(IDC_TXFROM), L"5000");
  EXPECT_EQ(app.Text(IDC_TXTO), L"9999");
  EXPECT_EQ(app.Text(IDC_CMDGEN), L"&S.开始生成TXT列表");
  EXPECT_EQ(app.Text(IDC_LBSTATUS), L"当前状态");
  EXPECT_TRUE(RunningApp::WaitFor([&] { return app.Focus() == app.Control(IDC_TXFILE); }, kBoxMs));
}

struct ArgumentCase {
  const wchar_t* arguments;  // after the quoted program path
  const wchar_t* path;       // what txFile shows
};

void PrintTo(const ArgumentCase& c, std::ostream* os) {
  *os << testing::PrintToString(std::wstring(c.arguments));
}

class ArgumentTest : public testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentTest, FirstArgumentFillsPath) {
  TempDir dir;
  RunningApp app(dir, GetParam().arguments);
  ASSERT_NE(app.window(), nullptr);
  EXPECT_EQ(app.Text(IDC_TXFILE), GetParam().path);
  EXPECT_EQ(app.Text(IDC_TXFROM), L"5000");
  EXPECT_EQ(app.Text(IDC_TXTO), L"9999");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ArgumentTest,
    testing::Values(ArgumentCase{L"\"C:\\song tables\\总表.xml\"", L"C:\\song tables\\总表.xml"},
                    ArgumentCase{L"first.xml second.xml", L"first.xml"}, ArgumentCase{L"\"\"", L""},
                    ArgumentCase{L"   ", L"歌曲规范总表.xml"}));

struct Placement {
  int id;
  int left, top, width, height;  // twips
};

TEST(Window, ControlsSitAtTheirPositionsAt96Dpi) {
  TempDir dir;
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  RECT client;
  GetClientRect(app.window(), &client);
  EXPECT_EQ(client.right, 194);
  EXPECT_EQ(client.bottom, 124);
  const Placement placements[] = {
      {IDC_TXFILE, 240, 0, 2415, 270},    {IDC_TXFROM, 240, 360, 975, 270},
      {IDC_TXTO, 1680, 360, 975, 270},    {IDC_CMDGEN, 240, 720, 2415, 495},
      {IDC_LBSTATUS, 0, 1320, 2895, 615},
  };
  for (const Placement& want : placements) {
    SCOPED_TRACE(want.id);
    RECT rect = ScreenRect(app.Control(want.id));
    MapWindowPoints(nullptr, app.window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, MulDiv(want.left, 96, 1440));
    EXPECT_EQ(rect.top, MulDiv(want.top, 96, 1440));
    EXPECT_EQ(rect.right - rect.left, MulDiv(want.width, 96, 1440));
    EXPECT_EQ(rect.bottom - rect.top, MulDiv(want.height, 96, 1440));
  }
}

TEST(Window, TabMovesThroughFieldsThenButton) {
  TempDir dir;
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  ASSERT_TRUE(RunningApp::WaitFor([&] { return app.Focus() == app.Control(IDC_TXFILE); }, kBoxMs));
  for (int id : {IDC_TXFROM, IDC_TXTO, IDC_CMDGEN, IDC_TXFILE}) {
    SCOPED_TRACE(id);
    app.PressKey(app.Focus(), VK_TAB);
    EXPECT_TRUE(RunningApp::WaitFor([&] { return app.Focus() == app.Control(id); }, kBoxMs));
  }
}

TEST(Generate, WritesTheExampleListFilesAndShowsDone) {
  TempDir dir;
  RunningApp app(dir, Quoted(ExampleWorkbook()));
  ASSERT_NE(app.window(), nullptr);
  EXPECT_EQ(app.Text(IDC_TXFILE), ExampleWorkbook());
  app.SetText(IDC_TXFROM, L"5000");
  app.SetText(IDC_TXTO, L"9999");
  app.Click(IDC_CMDGEN);
  ASSERT_TRUE(app.WaitForStatus(kDone, kRunMs))
      << "status: " << testing::PrintToString(app.Text(IDC_LBSTATUS));

  std::vector<std::wstring> expected;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((ExpectedDir() + L"\\*.txt").c_str(), &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE) << "no expected list files";
  do
    expected.push_back(entry.cFileName);
  while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(dir.Files(L"*.txt"), expected);
  for (const std::wstring& name : expected) {
    SCOPED_TRACE(testing::PrintToString(name));
    const auto written = ReadWholeFile(dir.path() + L"\\" + name);
    const auto wanted = ReadWholeFile(ExpectedDir() + L"\\" + name);
    ASSERT_TRUE(written && wanted);
    EXPECT_TRUE(*written == *wanted) << "list file differs from the expected bytes";
  }

  const std::optional<int> colours = Screenshot(ScreenRect(app.window()), "ui-main-window");
  ASSERT_TRUE(colours.has_value()) << "no screenshot";
  EXPECT_GE(*colours, kMinColours) << "the window's screenshot is blank";
}

TEST(Generate, MissingWorkbookShowsMessageWithoutIcon) {
  TempDir dir;  // holds no workbook, and the default path names one in the current folder
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  app.Click(IDC_CMDGEN);
  const std::optional<MessageBoxView> box = app.WaitForMessageBox(kBoxMs);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, kTitle);
  EXPECT_EQ(box->text, L"没有发现歌曲列表文件");
  EXPECT_EQ(box->icon, nullptr);
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  CloseBox(*box);
  EXPECT_EQ(app.Text(IDC_LBSTATUS), L"当前状态");
  EXPECT_TRUE(dir.Files(L"*.txt").empty());
}

TEST(Generate, TableOfAnotherFormatIsNamedAndNothingWritten) {
  TempDir dir;
  const std::wstring csv = dir.path() + L"\\songs.xml";  // a CSV saved under an .xml name
  ASSERT_TRUE(WriteWholeFile(csv, "INDEX,NAME\r\n5001,Song\r\n"));
  RunningApp app(dir, Quoted(csv));
  ASSERT_NE(app.window(), nullptr);
  app.Click(IDC_CMDGEN);
  const std::optional<MessageBoxView> box = app.WaitForMessageBox(kBoxMs);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, kTitle);
  EXPECT_EQ(box->text, L"无法识别歌曲列表文件的格式: " + csv +
                           L"\n这不是电子表格文件。\n"
                           L"请在表格程序中另存为 \"XML 电子表格 2003 (*.xml)\" 或 "
                           L"\"Excel 工作簿 (*.xlsx)\" 后重试。");
  EXPECT_EQ(ShownIcon(*box), IDI_WARNING);
  const std::optional<int> colours = Screenshot(ScreenRect(box->hwnd), "ui-unrecognised-format");
  ASSERT_TRUE(colours.has_value()) << "no screenshot";
  CloseBox(*box);
  EXPECT_EQ(app.Text(IDC_LBSTATUS), L"正在读取文件" + csv + L"...");
  EXPECT_TRUE(dir.Files(L"*.txt").empty());
}

TEST(Generate, EnterInTextBoxPressesGenerate) {
  TempDir dir;
  RunningApp app(dir, L"no-such-workbook.xml");
  ASSERT_NE(app.window(), nullptr);
  app.PressKey(app.Control(IDC_TXTO), VK_RETURN);
  const std::optional<MessageBoxView> box = app.WaitForMessageBox(kBoxMs);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, L"没有发现歌曲列表文件");
  CloseBox(*box);
}

struct RangeCase {
  const wchar_t* from;
  const wchar_t* to;
  const wchar_t* named;  // the field text the message names
};

void PrintTo(const RangeCase& c, std::ostream* os) {
  *os << testing::PrintToString(std::wstring(c.from)) << " to "
      << testing::PrintToString(std::wstring(c.to));
}

class OutOfRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(OutOfRangeTest, WarnsAndStartsNoRun) {
  TempDir dir;
  RunningApp app(dir, Quoted(ExampleWorkbook()));
  ASSERT_NE(app.window(), nullptr);
  app.SetText(IDC_TXFROM, GetParam().from);
  app.SetText(IDC_TXTO, GetParam().to);
  app.Click(IDC_CMDGEN);
  const std::optional<MessageBoxView> box = app.WaitForMessageBox(kBoxMs);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, kTitle);
  EXPECT_EQ(box->text, std::wstring(L"歌曲编号超出范围: ") + GetParam().named);
  EXPECT_EQ(ShownIcon(*box), IDI_WARNING);
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  CloseBox(*box);
  EXPECT_EQ(app.Text(IDC_LBSTATUS), L"当前状态");
  EXPECT_TRUE(dir.Files(L"*.txt").empty());
}

INSTANTIATE_TEST_SUITE_P(Fields, OutOfRangeTest,
                         testing::Values(RangeCase{L"5000", L"3E9", L"3E9"},
                                         RangeCase{L"5000", L"2147483647.5", L"2147483647.5"},
                                         RangeCase{L"-2147483649", L"9999", L"-2147483649"},
                                         RangeCase{L"1E20", L"-1E20", L"-1E20"}));

TEST(Menu, AboutShowsSixLinesFromTheVersionResource) {
  TempDir dir;
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  app.Command(IDM_ABOUT);
  const std::optional<MessageBoxView> box = app.WaitForMessageBox(kBoxMs);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, kTitle);
  EXPECT_EQ(box->text,
            L"Drumlo歌曲列表生成器 版本 1.0.52\n"
            L"程序作者: Ivo.Marsh\n"
            L"Copyright (C) 2026 Ivo.Marsh\n"
            L"警告: 本程序仅用于生成Drumlo歌曲列表文件。\n"
            L"生成前请备份程序目录中的同名列表文件,\n"
            L"已有的同名列表文件将被直接覆盖。");
  EXPECT_EQ(ShownIcon(*box), IDI_INFORMATION);
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  const std::optional<int> colours = Screenshot(ScreenRect(box->hwnd), "ui-about-box");
  ASSERT_TRUE(colours.has_value()) << "no screenshot";
  EXPECT_GE(*colours, kMinColours) << "the About box's screenshot is blank";
  CloseBox(*box);
}

struct EndCase {
  const char* name;
  UINT message;
  WPARAM wparam;
};

void PrintTo(const EndCase& c, std::ostream* os) {
  *os << c.name;
}

class EndTest : public testing::TestWithParam<EndCase> {};

TEST_P(EndTest, EndsTheProcessAtOnce) {
  TempDir dir;
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  PostMessageW(app.window(), GetParam().message, GetParam().wparam, 0);
  EXPECT_EQ(app.WaitForExit(kBoxMs), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Ways, EndTest,
                         testing::Values(EndCase{"MenuExit", WM_COMMAND, IDM_EXIT},
                                         EndCase{"Close", WM_CLOSE, 0}),
                         [](const testing::TestParamInfo<EndCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace drumlo::ui
