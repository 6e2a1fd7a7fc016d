// One extraction: its steps in order, each failure counted once with the output closed, and a
// nested call that arrives through a pump.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "install/save_res_to_disk.h"

namespace tarnvel::test {
namespace {

const std::string kFlash = "C:\\WINDOWS\\system32\\Flash.ocx";
const std::string kMscal = "C:\\WINDOWS\\system32\\MSCAL.OCX";

// Both destinations present; Flash.ocx read-only, hidden and system.
FakePlatform Prepared() {
  FakePlatform p;
  p.payloads = {{"FLASH.OCX", "MZ new flash"}, {"MSCAL.OCX", "MZ new mscal"}};
  p.files[kFlash] = {"MZ old flash, longer than the payload", true, true, true};
  p.files[kMscal] = {"MZ old mscal"};
  return p;
}

// The platform calls of the extraction of Flash.ocx, without its path.
std::string Steps(const std::vector<std::string>& events) {
  std::string steps;
  for (const std::string& e : events)
    steps += (steps.empty() ? "" : ",") + e.substr(0, e.find(" " + kFlash));
  return steps;
}

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
    FakePlatform p = Prepared();
    p.files[kFlash].denied = failing == "open, access denied";
    if (failing == "write") p.failWrite = {kFlash};
    if (failing == "close") p.failClose = {kFlash};
    std::int16_t errCount = 0;
    const bool fails = failing != "none";
    EXPECT_EQ(SaveResToDisk(p, errCount, 1, "Flash.ocx", kFlash),
              fails ? SaveOutcome::kFailed : SaveOutcome::kWritten);
    EXPECT_EQ(errCount, fails ? 1 : 0);
    EXPECT_EQ(Steps(p.events), steps);
    EXPECT_FALSE(p.output) << "output left open";
    const FakePlatform::File& f = p.files.at(kFlash);
    EXPECT_EQ(f.bytes, content);
    EXPECT_FALSE(f.readOnly || f.hidden || f.system);
  }
}

TEST(SaveResToDisk, NestedCallThroughAPumpFailsAtItsOpenAndLeavesTheOuterFileAlone) {
  FakePlatform p = Prepared();
  std::int16_t errCount = 0;
  std::optional<SaveOutcome> nested;
  p.onPump = [&](int index) {
    if (index == 0) nested = SaveResToDisk(p, errCount, 1, "MSCAL.OCX", kMscal);
    EXPECT_EQ(p.output, kFlash);
  };
  EXPECT_EQ(SaveResToDisk(p, errCount, 1, "Flash.ocx", kFlash), SaveOutcome::kWritten);
  EXPECT_EQ(nested, SaveOutcome::kFailed) << "not in use: a restart would not help";
  EXPECT_EQ(errCount, 1);
  EXPECT_EQ(p.files[kMscal].bytes, "MZ old mscal");
  EXPECT_EQ(p.files[kFlash].bytes, "MZ new flash");
}

}  // namespace
}  // namespace tarnvel::test
