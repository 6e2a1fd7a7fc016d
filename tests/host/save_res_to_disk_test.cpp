// One extraction against the scripted platform: its steps in order, and each
// failure counted once, with the output file closed whenever it was opened.
#include "install/save_res_to_disk.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fake_platform.h"

namespace tarnvel {
namespace {

const std::string kTarget = "C:\\WINDOWS\\system32\\Flash.ocx";
const std::string kOther = "C:\\WINDOWS\\system32\\MSCAL.OCX";

class SaveResToDiskTest : public ::testing::Test {
 protected:
  SaveResToDiskTest() {
    p.payloads["FLASH.OCX"] = FakePlatform::Bytes("MZ new flash");
    p.payloads["MSCAL.OCX"] = FakePlatform::Bytes("MZ new mscal");
    p.files[kTarget].bytes = FakePlatform::Bytes("MZ old flash");
    p.files[kTarget].readOnly = true;
    p.files[kOther].bytes = FakePlatform::Bytes("MZ old mscal");
  }

  bool Save(const std::string& type, const std::string& path) {
    return SaveResToDisk(p, errCount, 1, type, path);
  }

  FakePlatform p;
  std::int16_t errCount = 0;
};

struct Outcome {
  const char* name;
  std::function<void(FakePlatform&)> arrange;
  bool result;
  std::vector<std::string> events;
  const char* content;  // of the target afterwards
};

TEST_F(SaveResToDiskTest, EachStepRunsInOrderAndAFailureStopsThereCountedOnceAndClosed) {
  const std::string load = "load Flash.ocx", reset = "attributes " + kTarget,
                    open = "open " + kTarget, write = "write " + kTarget,
                    close = "close " + kTarget;
  const Outcome outcomes[] = {
      {"written",
       [](FakePlatform&) {},
       true,
       {load, reset, open, "pump", write, "pump", close},
       "MZ new flash"},
      {"no payload", [](FakePlatform& f) { f.payloads.clear(); }, false, {load}, "MZ old flash"},
      {"no destination",
       [](FakePlatform& f) { f.files.erase(kTarget); },
       false,
       {load, reset},
       nullptr},
      {"open fails",
       [](FakePlatform& f) { f.files[kTarget].locked = true; },
       false,
       {load, reset, open},
       "MZ old flash"},
      {"write fails",
       [](FakePlatform& f) { f.failWriteFor.insert(kTarget); },
       false,
       {load, reset, open, "pump", write, close},
       "MZ old flash"},
      {"close fails",
       [](FakePlatform& f) { f.failCloseFor.insert(kTarget); },
       false,
       {load, reset, open, "pump", write, "pump", close},
       "MZ new flash"},
  };
  for (const Outcome& o : outcomes) {
    SCOPED_TRACE(o.name);
    FakePlatform fresh = p;
    o.arrange(fresh);
    std::int16_t count = 0;
    EXPECT_EQ(SaveResToDisk(fresh, count, 1, "Flash.ocx", kTarget), o.result);
    EXPECT_EQ(count, o.result ? 0 : 1);
    EXPECT_EQ(fresh.events, o.events);
    EXPECT_FALSE(fresh.openOutput);
    if (o.content == nullptr) {
      EXPECT_EQ(fresh.files.count(kTarget), 0u);  // never created
    } else {
      EXPECT_EQ(fresh.files[kTarget].bytes, FakePlatform::Bytes(o.content));
    }
  }
}

TEST_F(SaveResToDiskTest, FailuresAddUpAcrossCallsAndTheNextCallOpensItsOwnOutput) {
  p.failWriteFor.insert(kTarget);
  EXPECT_FALSE(Save("Flash.ocx", kTarget));
  EXPECT_TRUE(Save("MSCAL.OCX", kOther));
  EXPECT_FALSE(Save("NOSUCH.OCX", kOther));
  EXPECT_EQ(errCount, 2);
  EXPECT_EQ(p.files[kOther].bytes, FakePlatform::Bytes("MZ new mscal"));
}

TEST_F(SaveResToDiskTest, NestedCallFromTheFirstPumpFailsAtItsOpenAndLeavesTheOuterOutputAlone) {
  std::optional<bool> nested;
  std::optional<std::string> openDuringNested;
  p.pumpActions[0] = [&] {
    nested = Save("MSCAL.OCX", kOther);
    openDuringNested = p.openOutput;
  };
  EXPECT_TRUE(Save("Flash.ocx", kTarget));
  EXPECT_EQ(nested, false);
  EXPECT_EQ(openDuringNested, kTarget);
  EXPECT_EQ(errCount, 1);
  EXPECT_EQ(p.files[kOther].bytes, FakePlatform::Bytes("MZ old mscal"));
  EXPECT_EQ(p.files[kTarget].bytes, FakePlatform::Bytes("MZ new flash"));
}

TEST_F(SaveResToDiskTest, FailureRaisedByAHandlerInAPumpClosesTheOutputOnItsWayOut) {
  for (int pump : {0, 1}) {
    SCOPED_TRACE(pump);
    FakePlatform fresh = p;
    struct HandlerFailed {};
    fresh.pumpActions[pump] = [] { throw HandlerFailed{}; };
    std::int16_t count = 0;
    EXPECT_THROW(SaveResToDisk(fresh, count, 1, "Flash.ocx", kTarget), HandlerFailed);
    EXPECT_FALSE(fresh.openOutput);
    EXPECT_EQ(fresh.events.back(), "close " + kTarget);
    EXPECT_EQ(count, 0);  // the program ends on it: not an extraction failure
  }
}

}  // namespace
}  // namespace tarnvel
