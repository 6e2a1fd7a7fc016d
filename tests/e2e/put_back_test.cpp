// A component whose registration fails is put back as the very file it was
// and registered again; a run killed while its registrations run leaves its
// kept old files to the next run's sweep.
#include "e2e_support.h"

namespace tarnvel::test {
namespace {

// Which file a path names: its volume's serial number and its index there.
std::string Identity(const std::string& path) {
  const HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool read = ::GetFileInformationByHandle(file, &info);
  ::CloseHandle(file);
  return read ? std::to_string(info.dwVolumeSerialNumber) + ":" +
                    std::to_string(info.nFileIndexHigh) + ":" + std::to_string(info.nFileIndexLow)
              : "(unreadable)";
}

std::string Registration(const std::string& name) {
  return "regsvr32.exe /s \"" + Target(name) + "\"";
}

// The stand-in fails MSINET.OCX's registration and registers MSCAL.OCX.
TEST(PutBackRun, FailedRegistrationPutsTheVeryOldFileBackKilledRunLeavesItsKeptFilesToTheNext) {
  const std::string failing = "MSINET.OCX", passing = "MSCAL.OCX";
  const StandInRegsvr32 standIn;
  Targets targets;
  targets.Place(failing);
  targets.Place(passing);
  const std::string old = Identity(Target(failing));
  // Killed while the stand-in holds the registrations, once the last one is
  // under way (Wine leaves a process its parent dies starting hanging): the
  // old files are kept beside the new ones, each as the very same file.
  const HANDLE hold = ::CreateMutexA(nullptr, TRUE, "TarnvelStandInHold");
  ASSERT_NE(hold, nullptr);
  {
    const Process killed(kSetupExe, "/s");
    EXPECT_TRUE(WaitUntil("every registration to start", [&] {
      return StandInRegsvr32::Calls(Registration(failing)) &&
             StandInRegsvr32::Calls(Registration(passing)) &&
             StandInRegsvr32::Calls(Registration("uxtheme.dll"));  // Wine's own, the last
    }));
    std::vector<std::string> kept;
    for (const std::string& name : Matching(SystemDirectory(), "~tvl*"))
      kept.push_back(Identity(SystemDirectory() + "\\" + name));
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), old), 1) << "the old file not kept as itself";
  }
  ::ReleaseMutex(hold);
  ::CloseHandle(hold);
  EXPECT_TRUE(ReadWhole(Target(failing)) == Payload(failing));
  EXPECT_TRUE(WaitUntil("the held registrations to end", NoRegistrationRunning));

  // The next run sweeps them; the failing one, older again, is put back.
  targets.Place(failing);
  targets.Place(passing);
  const std::string placed = Identity(Target(failing));
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kCallsKey);
  const std::string logs = NewFolder("tarnvel_put_back_log");
  EXPECT_EQ(Process(kSetupExe, "/s", "", 0, logs).Exit(), 1u);
  EXPECT_EQ(Identity(Target(failing)), placed);
  EXPECT_TRUE(ReadWhole(Target(failing)) == OlderCopy(failing)) << "not its old bytes";
  EXPECT_EQ(StandInRegsvr32::Calls(Registration(failing)), 2u) << "not registered again";
  EXPECT_TRUE(ReadWhole(Target(passing)) == Payload(passing));
  EXPECT_EQ(StandInRegsvr32::Calls(Registration(passing)), 1u);
  EXPECT_EQ(Matching(SystemDirectory(), "~tvl*"), std::vector<std::string>{});
  const std::vector<std::string> log = LogTexts(logs);
  ASSERT_EQ(log.size(), 1u);
  ExpectLines(log[0], {"Deleted a killed run's leftover " + SystemDirectory() + "\\~tvl",
                       failing + ": registration exit code 5, failed\r\n",
                       failing + ": registration failed, old file put back\r\n",
                       failing + " (old file): registration exit code 5, failed\r\n",
                       "End: 0 copies failed, 1 registration failed, exit code 1\r\n"});
}

}  // namespace
}  // namespace tarnvel::test
