// The File menu's open dialog and report window, pasted and dropped paths: what the window
// tells its user about a run.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "resource.h"
#include "ui_common.h"

namespace drumlo::ui {
namespace {

constexpr wchar_t kReportItem[] = L"&R.查看生成报告...";
constexpr wchar_t kExampleReportItem[] = L"&R.查看生成报告 (7 条提示)...";

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& line_end) {
  std::vector<std::wstring> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(line_end, from)) != std::wstring::npos;
       from = at + line_end.size()) {
    lines.push_back(text.substr(from, at - from));
  }
  lines.push_back(text.substr(from));
  return lines;
}

void Replace(std::wstring& line, const std::wstring& from, const std::wstring& to) {
  for (std::size_t at = line.find(from); at != std::wstring::npos; at = line.find(from, at))
    line.replace(at, from.size(), to);
}

// "完成时间: 2026-03-01 09:05:07" becomes "完成时间: {time}" when it has that form.
void HideTime(std::wstring& line) {
  const std::wstring label = L"完成时间: ";
  const std::wstring form = L"0000-00-00 00:00:00";
  if (line.rfind(label, 0) != 0 || line.size() != label.size() + form.size()) return;
  for (std::size_t k = 0; k < form.size(); ++k) {
    const wchar_t c = line[label.size() + k];
    if (form[k] == L'0' ? !iswdigit(c) : c != form[k]) return;
  }
  line = label + L"{time}";
}

HWND TextBox(HWND report) {
  return GetDlgItem(report, IDC_REPORT_TEXT);
}

// The report window as it shows once painted, saved into the build folder.
void ExpectScreenshot(HWND report, const std::string& name) {
  RedrawWindow(report, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_TRUE(RunningApp::WaitFor([&] { return ShowsDrawing(TextBox(report)); }, kBoxMs))
      << "the report's text is not drawn";
  const std::optional<int> colours = Screenshot(ScreenRect(report), name);
  ASSERT_TRUE(colours.has_value()) << "no screenshot";
  EXPECT_GE(*colours, kMinColours);
}

MenuItemView ReportItem(const RunningApp& app) {
  for (const MenuItemView& item : app.Menu()) {
    if (item.id == IDM_REPORT) return item;
  }
  return {};
}

// The last status shows while the run still ends; the run has ended once the report item
// is enabled again, as it is for a user.
bool WaitForRunEnd(const RunningApp& app) {
  return RunningApp::WaitFor([&] { return !ReportItem(app).greyed; }, kBoxMs);
}

void SendCommand(const RunningApp& app, int id) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(app.window(), WM_COMMAND, id, 0, SMTO_ABORTIFHUNG, kBoxMs, &ignored);
}

class ReportWindowTest : public testing::Test {
 protected:
  // Runs the workbook named in the path field and opens the report window.
  HWND RunAndOpenReport(const RunningApp& app) {
    app.Click(IDC_CMDGEN);
    EXPECT_TRUE(app.WaitForStatus(kDone, kRunMs)) << testing::PrintToString(app.Text(IDC_LBSTATUS));
    EXPECT_TRUE(WaitForRunEnd(app));  // until then the command is passed over
    app.Command(IDM_REPORT);
    return app.WaitForOwned(app.window(), REPORT_WINDOW_CLASS, kBoxMs);
  }

  TempDir dir;
};

TEST(ReportMenu, ReadsOpenReportExitWithReportGreyedBeforeTheFirstRun) {
  TempDir dir;
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  const std::vector<MenuItemView> menu = {
      {0, L"&O.选择歌曲列表文件...", IDM_OPEN, false},
      {0, kReportItem, IDM_REPORT, true},
      {0, L"", 0, false},
      {0, L"&X.退出", IDM_EXIT, false},
      {1, L"&A.关于...", IDM_ABOUT, false},
  };
  EXPECT_EQ(app.Menu(), menu);
  SendCommand(app, IDM_REPORT);
  EXPECT_EQ(app.CountOwned(app.window(), REPORT_WINDOW_CLASS), 0);
}

TEST_F(ReportWindowTest, ShowsTheExampleReportOnceWithItsCountInTheMenu) {
  RunningApp app(dir, Quoted(ExampleWorkbook()));
  ASSERT_NE(app.window(), nullptr);
  HWND report = RunAndOpenReport(app);
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(ReportItem(app), (MenuItemView{0, kExampleReportItem, IDM_REPORT, false}));
  EXPECT_EQ(RunningApp::TextOf(report), L"生成报告");

  std::vector<std::wstring> shown = Split(RunningApp::TextOf(TextBox(report)), L"\r\n");
  for (std::wstring& line : shown) {
    Replace(line, ExampleWorkbook(), L"{workbook}");
    Replace(line, dir.path() + L"\\", L"{folder}");
    HideTime(line);
  }
  const std::optional<std::string> expected = ReadWholeFile(WindowsPath(
      std::string(DRUMLO_SOURCE_DIR) + "/examples/expected-report/window-report.zh.txt"));
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(shown, Split(FromUtf8(*expected), L"\n"));

  SendCommand(app, IDM_REPORT);
  EXPECT_EQ(app.CountOwned(app.window(), REPORT_WINDOW_CLASS), 1);
  EXPECT_EQ(app.WaitForOwned(app.window(), REPORT_WINDOW_CLASS, kBoxMs), report);

  RECT client;
  GetClientRect(report, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  ExpectScreenshot(report, "ui-report-window-96dpi");
}

TEST_F(ReportWindowTest, TabCtrlACtrlCAndEscWorkAsInADialog) {
  RunningApp app(dir, Quoted(ExampleWorkbook()));
  ASSERT_NE(app.window(), nullptr);
  HWND report = RunAndOpenReport(app);
  ASSERT_NE(report, nullptr);
  HWND box = TextBox(report);
  ASSERT_TRUE(RunningApp::WaitFor([&] { return app.Focus() == box; }, kBoxMs));
  app.PressKey(box, VK_TAB);
  EXPECT_TRUE(RunningApp::WaitFor(
      [&] { return app.Focus() == GetDlgItem(report, IDC_REPORT_SAVE); }, kBoxMs));
  app.PressKey(app.Focus(), VK_TAB);
  ASSERT_TRUE(RunningApp::WaitFor([&] { return app.Focus() == box; }, kBoxMs));

  const std::wstring text = RunningApp::TextOf(box);
  ASSERT_LT(text.size(), 0xFFFFu);      // EM_GETSEL's answer holds 16 bits a side
  PostMessageW(box, WM_CHAR, 0x01, 1);  // what Ctrl+A types
  EXPECT_TRUE(RunningApp::WaitFor(
      [&] {
        DWORD_PTR selection = 0;
        SendMessageTimeoutW(box, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, kBoxMs, &selection);
        return LOWORD(selection) == 0 && HIWORD(selection) == text.size();
      },
      kBoxMs));
  // The clipboard is read only once the copy has begun: opening it while the box tries to
  // would make the box's copy fail.
  const DWORD clipboard_before = GetClipboardSequenceNumber();
  PostMessageW(box, WM_CHAR, 0x03, 1);  // what Ctrl+C types
  EXPECT_TRUE(RunningApp::WaitFor(
      [&] { return GetClipboardSequenceNumber() != clipboard_before && ClipboardText() == text; },
      kBoxMs));

  app.PressKey(box, VK_ESCAPE);
  EXPECT_TRUE(RunningApp::WaitFor([&] { return !IsWindow(report); }, kBoxMs));
  EXPECT_FALSE(ReportItem(app).greyed);
}

TEST_F(ReportWindowTest, SaveAsWritesUtf8WithByteOrderMarkBesideTheWorkbook) {
  const std::wstring folder = dir.path() + L"\\表";
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(ExampleWorkbook().c_str(), (folder + L"\\book.xml").c_str(), FALSE));
  RunningApp app(dir, Quoted(folder + L"\\book.xml"));
  ASSERT_NE(app.window(), nullptr);
  HWND report = RunAndOpenReport(app);
  ASSERT_NE(report, nullptr);
  PostMessageW(GetDlgItem(report, IDC_REPORT_SAVE), BM_CLICK, 0, 0);
  HWND dialog = app.WaitForOwned(report, L"#32770", kBoxMs);
  ASSERT_NE(dialog, nullptr);
  const std::optional<std::wstring> offered = FileDialogName(dialog);
  ASSERT_TRUE(offered.has_value());
  EXPECT_EQ(*offered, L"生成报告.txt");
  ASSERT_TRUE(AnswerFileDialog(dialog, *offered));  // the folder offered: the workbook's
  const std::wstring saved = folder + L"\\生成报告.txt";
  std::optional<std::string> bytes;
  ASSERT_TRUE(
      RunningApp::WaitFor([&] { return (bytes = ReadWholeFile(saved)).has_value(); }, kBoxMs));
  EXPECT_EQ(*bytes, "\xEF\xBB\xBF" + ToUtf8(RunningApp::TextOf(TextBox(report))));
}

TEST_F(ReportWindowTest, KeysReachTheReportWhileARunPumpsMessages) {
  // Each song its own package: a run that shows a status, and so pumps messages, per file.
  std::string rows = "<Row><Cell><Data>INDEX</Data></Cell><Cell><Data>PAK</Data></Cell></Row>";
  for (int id = 5001; id <= 6500; ++id) {
    rows += "<Row><Cell><Data>" + std::to_string(id) + "</Data></Cell><Cell><Data>p" +
            std::to_string(id) + "</Data></Cell></Row>";
  }
  const std::wstring big = dir.path() + L"\\big.xml";
  ASSERT_TRUE(WriteWholeFile(
      big, "<Workbook><Worksheet><Table>" + rows + "</Table></Worksheet></Workbook>"));
  RunningApp app(dir, Quoted(ExampleWorkbook()));
  ASSERT_NE(app.window(), nullptr);
  HWND report = RunAndOpenReport(app);
  ASSERT_NE(report, nullptr);
  HWND box = TextBox(report);

  app.SetText(IDC_TXFILE, big);
  app.Click(IDC_CMDGEN);
  ASSERT_TRUE(RunningApp::WaitFor(
      [&] { return app.Text(IDC_LBSTATUS).rfind(L"正在写入文件", 0) == 0; }, kRunMs));
  EXPECT_TRUE(ReportItem(app).greyed);
  // The button press took the focus to the main window; a click brings it back.
  PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  PostMessageW(box, WM_LBUTTONUP, 0, 0);
  EXPECT_TRUE(RunningApp::WaitFor([&] { return app.Focus() == box; }, kBoxMs));
  app.PressKey(box, VK_TAB);
  EXPECT_TRUE(RunningApp::WaitFor(
      [&] { return app.Focus() == GetDlgItem(report, IDC_REPORT_SAVE); }, kBoxMs));
  app.PressKey(app.Focus(), VK_ESCAPE);
  EXPECT_TRUE(RunningApp::WaitFor([&] { return !IsWindow(report); }, kBoxMs));
  EXPECT_NE(app.Text(IDC_LBSTATUS), kDone) << "the run ended before the keys were tried";
  ASSERT_TRUE(app.WaitForStatus(kDone, kRunMs));
  EXPECT_TRUE(WaitForRunEnd(app));
  EXPECT_EQ(ReportItem(app), (MenuItemView{0, kReportItem, IDM_REPORT, false}));
}

TEST_F(ReportWindowTest, MissingWorkbookKeepsTheLastReportAndEmptyOneReplacesIt) {
  RunningApp app(dir, Quoted(ExampleWorkbook()));
  ASSERT_NE(app.window(), nullptr);
  HWND report = RunAndOpenReport(app);
  ASSERT_NE(report, nullptr);
  const std::wstring example_report = RunningApp::TextOf(TextBox(report));

  app.SetText(IDC_TXFILE, L"missing.xml");
  app.Click(IDC_CMDGEN);
  const std::optional<MessageBoxView> box = app.WaitForMessageBox(kBoxMs);
  ASSERT_TRUE(box.has_value());
  PostMessageW(GetDlgItem(box->hwnd, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(RunningApp::WaitFor([&] { return !IsWindow(box->hwnd); }, kBoxMs));
  EXPECT_EQ(RunningApp::TextOf(TextBox(report)), example_report);
  EXPECT_EQ(ReportItem(app).caption, kExampleReportItem);

  ASSERT_TRUE(WriteWholeFile(dir.path() + L"\\empty.xml", ""));
  app.SetText(IDC_TXFILE, L"empty.xml");
  app.Click(IDC_CMDGEN);
  ASSERT_TRUE(app.WaitForStatus(L"空文件!", kRunMs));
  EXPECT_TRUE(RunningApp::WaitFor(
      [&] {
        return RunningApp::TextOf(TextBox(report)).find(L"\r\n结果: 空文件\r\n") !=
               std::wstring::npos;
      },
      kBoxMs));
  EXPECT_TRUE(WaitForRunEnd(app));
  EXPECT_EQ(ReportItem(app), (MenuItemView{0, kReportItem, IDM_REPORT, false}));
}

TEST_F(ReportWindowTest, ScalesAt144Dpi) {
  const ScreenDpi dpi(144);
  RunningApp app(dir, Quoted(ExampleWorkbook()));
  ASSERT_NE(app.window(), nullptr);
  RECT client;
  GetClientRect(app.window(), &client);
  EXPECT_EQ(client.right, MulDiv(2904, 144, 1440));
  HWND report = RunAndOpenReport(app);
  ASSERT_NE(report, nullptr);
  RECT button;
  GetWindowRect(GetDlgItem(report, IDC_REPORT_SAVE), &button);
  EXPECT_EQ(button.right - button.left, 150);
  EXPECT_EQ(button.bottom - button.top, 39);
  ExpectScreenshot(report, "ui-report-window-144dpi");
}

TEST(OpenDialog, FillsThePathFieldAndOffersBothWorkbookTypes) {
  TempDir dir;
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  app.Command(IDM_OPEN);
  HWND dialog = app.WaitForOwned(app.window(), L"#32770", kBoxMs);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(FileTypes(dialog),
            (std::vector<std::wstring>{L"XML 电子表格 2003 (*.xml)", L"Excel 工作簿 (*.xlsx)"}));
  ASSERT_TRUE(AnswerFileDialog(dialog, ExampleWorkbook()));
  EXPECT_TRUE(
      RunningApp::WaitFor([&] { return app.Text(IDC_TXFILE) == ExampleWorkbook(); }, kBoxMs))
      << testing::PrintToString(app.Text(IDC_TXFILE));
}

class PastedPathTest : public testing::TestWithParam<const wchar_t*> {};

TEST_P(PastedPathTest, Runs) {
  TempDir dir;
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  std::wstring typed = GetParam();
  Replace(typed, L"{path}", ExampleWorkbook());
  app.SetText(IDC_TXFILE, typed);
  app.Click(IDC_CMDGEN);
  ASSERT_TRUE(app.WaitForStatus(kDone, kRunMs)) << testing::PrintToString(app.Text(IDC_LBSTATUS));
  EXPECT_EQ(dir.Files(L"*.txt").size(), 10u);
  EXPECT_EQ(app.Text(IDC_TXFILE), typed);  // the field keeps what was pasted
}

INSTANTIATE_TEST_SUITE_P(Forms, PastedPathTest,
                         testing::Values(L"\"{path}\"", L"  \"{path}\" \t", L"{path}   "));

struct DropCase {
  const char* name;
  std::vector<std::wstring> dropped;  // names in the test's folder; a trailing \ marks a folder
  std::wstring path;                  // what the path field shows then: a name, or the default
};

void PrintTo(const DropCase& c, std::ostream* os) {
  *os << c.name;
}

class DropTest : public testing::TestWithParam<DropCase> {};

TEST_P(DropTest, TakesTheFirstFileAndPassesOverFolders) {
  TempDir dir;
  RunningApp app(dir, L"");
  ASSERT_NE(app.window(), nullptr);
  std::vector<std::wstring> paths;
  for (const std::wstring& name : GetParam().dropped) {
    const std::wstring path = dir.path() + L"\\" + name;
    if (name.back() == L'\\') {
      CreateDirectoryW(path.c_str(), nullptr);
      paths.push_back(path.substr(0, path.size() - 1));
    } else {
      ASSERT_TRUE(WriteWholeFile(path, "<Workbook/>"));
      paths.push_back(path);
    }
  }
  ASSERT_TRUE(app.DropFiles(paths));
  // Posted messages are taken in order: once the About box shows, the drop has been taken.
  app.Command(IDM_ABOUT);
  const std::optional<MessageBoxView> box = app.WaitForMessageBox(kBoxMs);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(app.Text(IDC_TXFILE),
            GetParam().path.empty() ? L"歌曲规范总表.xml" : dir.path() + L"\\" + GetParam().path);
  PostMessageW(GetDlgItem(box->hwnd, IDOK), BM_CLICK, 0, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Drops, DropTest,
    testing::Values(DropCase{"OneFile", {L"a.xml"}, L"a.xml"},
                    DropCase{"FolderThenFiles", {L"sub\\", L"b.xml", L"c.xml"}, L"b.xml"},
                    DropCase{"FoldersOnly", {L"sub\\", L"sub2\\"}, L""}),
    [](const testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace drumlo::ui
