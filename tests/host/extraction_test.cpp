// One extraction: its steps in order, each failure counted once with the output closed; and which
// refused open waits for the restart.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "install/replace_rule.h"
#include "install/save_res_to_disk.h"

namespace tarnvel::test {
namespace {

const std::string kFlash = "C:\\WINDOWS\\system32\\Flash.ocx";

TEST(SaveResToDisk, StepsRunInOrderAndAFailureStopsThemCountedOnceWithTheOutputClosed) {
  const char* const all = "load Flash.ocx,attributes,open,pump,write,pump,close";
  const char* const old = "MZ old flash, longer than the payload";
  // The step that fails, the steps taken, the destination's bytes after (its marks cleared all the
  // same). A missing payload or target, and one in use, are the Windows tests' rows.
  const std::tuple<std::string, const char*, const char*> cases[] = {
      {"none", all, "MZ new flash"},
      {"open, access denied", "load Flash.ocx,attributes,open", old},
      {"write", "load Flash.ocx,attributes,open,pump,write,close", old},
      {"close", all, "MZ new flash"},
  };
  for (const auto& [failing, steps, content] : cases) {
    SCOPED_TRACE(failing);
    FakePlatform p;
    p.payloads = {{"FLASH.OCX", "MZ new flash"}};
    p.files[kFlash] = {old, true, true, true};  // read-only, hidden and system
    p.files[kFlash].denied = failing == "open, access denied";
    if (failing == "write") p.failWrite = {kFlash};
    if (failing == "close") p.failClose = {kFlash};
    std::int16_t errCount = 0;
    const bool fails = failing != "none";
    EXPECT_EQ(SaveResToDisk(p, errCount, 1, "Flash.ocx", kFlash),
              fails ? SaveOutcome::kFailed : SaveOutcome::kWritten);
    EXPECT_EQ(errCount, fails ? 1 : 0);
    std::string taken;  // the platform calls, without the path
    for (const std::string& e : p.events)
      taken += (taken.empty() ? "" : ",") + e.substr(0, e.find(" " + kFlash));
    EXPECT_EQ(taken, steps);
    EXPECT_FALSE(p.output) << "output left open";
    const FakePlatform::File& f = p.files.at(kFlash);
    EXPECT_EQ(f.bytes, content);
    EXPECT_FALSE(f.readOnly || f.hidden || f.system);
  }
}

// Only another program's hold on the target waits for the restart.
TEST(ClassifyRefusal, OnlyAnOpenRefusedForAnotherProgramsHoldWaitsForTheRestart) {
  using S = OutputStep;
  const std::pair<OutputFailure, RefusedWrite> rows[] = {
      {{S::kOpen, 32}, RefusedWrite::kInUse},      // sharing violation
      {{S::kOpen, 33}, RefusedWrite::kInUse},      // lock violation
      {{S::kOpen, 1224}, RefusedWrite::kInUse},    // a mapped image
      {{S::kOpen, 5}, RefusedWrite::kFailure},     // access denied
      {{S::kOpen, 170}, RefusedWrite::kFailure},   // another output open: a nested extraction
      {{S::kWrite, 33}, RefusedWrite::kFailure},   // too late to wait
      {{S::kRename, 32}, RefusedWrite::kFailure},  // likewise
      {{S::kSecurity, 32}, RefusedWrite::kFailure},
  };
  for (const auto& [failure, expected] : rows) {
    EXPECT_EQ(ClassifyRefusal(failure), expected) << int(failure.step) << "/" << failure.error;
  }
}

}  // namespace
}  // namespace tarnvel::test
