// The window kept open all day: many runs in one process leave its memory and handles where
// they were after the first runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "gui_driver.h"
#include "resource.h"
#include "ui_common.h"

namespace drumlo::ui {
namespace {

// DRUMLO_LONG_DAY_RUNS sets how many runs (CI runs 50; a thousand for a real day).
int RunsToday() {
  const char* runs = std::getenv("DRUMLO_LONG_DAY_RUNS");
  const int count = runs != nullptr ? std::atoi(runs) : 0;
  return count > 10 ? count : 50;
}

// Starts a run and waits for its end. The last status shows while the run still ends, and a
// click then is passed over: the click is made again until the marker in the status goes.
bool RunOnce(const RunningApp& app, int run) {
  const std::wstring marker = L"run " + std::to_wstring(run);
  app.SetText(IDC_LBSTATUS, marker);
  for (int attempt = 0; attempt < 50; ++attempt) {
    app.Click(IDC_CMDGEN);
    if (RunningApp::WaitFor([&] { return app.Text(IDC_LBSTATUS) != marker; }, 200)) {
      return app.WaitForStatus(kDone, kRunMs);
    }
  }
  return false;
}

void PrintUse(int run, const RunningApp::Use& use) {
  std::cout << "after run " << run << ": private " << use.private_bytes / 1024 << " KB, handles "
            << use.handles << ", GDI " << use.gdi_objects << ", USER " << use.user_objects << "\n";
}

// Within 5% of the earlier figure, or within `slack` of it for figures too small for 5%.
void ExpectNear(SIZE_T later, SIZE_T earlier, SIZE_T slack, const char* what) {
  const SIZE_T allowed = earlier / 20 > slack ? earlier / 20 : slack;
  EXPECT_LE(later, earlier + allowed) << what << " grew";
}

TEST(LongDay, RunsLeaveMemoryAndHandlesWhereTheyWere) {
  TempDir dir;
  RunningApp app(dir, Quoted(ExampleWorkbook()));
  ASSERT_NE(app.window(), nullptr);
  const int runs = RunsToday();
  RunningApp::Use after_tenth;
  for (int run = 1; run <= runs; ++run) {
    ASSERT_TRUE(RunOnce(app, run)) << "run " << run;
    if (run == 10 || run == runs) {
      const std::optional<RunningApp::Use> use = app.CurrentUse();
      ASSERT_TRUE(use.has_value());
      PrintUse(run, *use);
      if (run == 10) after_tenth = *use;
    }
  }
  const std::optional<RunningApp::Use> last = app.CurrentUse();
  ASSERT_TRUE(last.has_value());
  ExpectNear(last->private_bytes, after_tenth.private_bytes, 64 * 1024, "private memory");
  ExpectNear(last->handles, after_tenth.handles, 2, "handle count");
  ExpectNear(last->gdi_objects, after_tenth.gdi_objects, 2, "GDI objects");
  ExpectNear(last->user_objects, after_tenth.user_objects, 2, "USER objects");
}

}  // namespace
}  // namespace drumlo::ui
