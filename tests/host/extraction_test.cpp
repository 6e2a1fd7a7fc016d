// One extraction: its steps in order, each failure counted once with the
// output closed, and a nested call that arrives through a pump.
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
  for (const std::string& e : events) {
    steps += (steps.empty() ? "" : ",") + e.substr(0, e.find(" " + kFlash));
  }
  return steps;
}

TEST(SaveResToDisk, StepsRunInOrderAndAFailureStopsThemCountedOnceWithTheOutputClosed) {
  struct Case {
    const char* name;
    std::function<void(FakePlatform&)> arrange;
    SaveOutcome result;
    const char* steps;
    const char* content;  // of the destination afterwards, its marks cleared
  };
  const char* const all = "load Flash.ocx,attributes,open,pump,write,pump,close";
  const char* const old = "MZ old flash, longer than the payload";
  // A missing payload or target, and one in use, are the Windows tests' rows.
  const Case cases[] = {
      {"marked destination replaced", [](FakePlatform&) {}, SaveOutcome::kWritten, all,
       "MZ new flash"},
      {"access denied", [](FakePlatform& p) { p.files[kFlash].denied = true; },
       SaveOutcome::kFailed, "load Flash.ocx,attributes,open", old},
      {"write fails", [](FakePlatform& p) { p.failWrite = {kFlash}; }, SaveOutcome::kFailed,
       "load Flash.ocx,attributes,open,pump,write,close", old},
      {"close fails", [](FakePlatform& p) { p.failClose = {kFlash}; }, SaveOutcome::kFailed, all,
       "MZ new flash"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform p = Prepared();
    c.arrange(p);
    std::int16_t errCount = 0;
    EXPECT_EQ(SaveResToDisk(p, errCount, 1, "Flash.ocx", kFlash), c.result);
    EXPECT_EQ(errCount, c.result == SaveOutcome::kFailed ? 1 : 0);
    EXPECT_EQ(Steps(p.events), c.steps);
    EXPECT_FALSE(p.output) << "output left open";
    const FakePlatform::File& f = p.files.at(kFlash);
    EXPECT_EQ(f.bytes, c.content);
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
