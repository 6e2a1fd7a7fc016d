// A failed registration's component put back as the very file it was.
#include "app/win32_handles.h"
#include "e2e_support.h"

namespace tarnvel::test {
namespace {

// Which file a path names: its volume's serial number and its index there.
std::string Identity(const std::string& path) {
  const UniqueHandle file(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION i{};
  return ::GetFileInformationByHandle(file.Get(), &i)
             ? std::to_string(i.dwVolumeSerialNumber) + ":" +
                   std::to_string(ULONGLONG(i.nFileIndexHigh) << 32 | i.nFileIndexLow)
             : "(unreadable)";
}

// The stand-in fails MSINET.OCX's registration and registers MSCAL.OCX.
TEST(PutBackRun, FailedRegistrationPutsTheVeryOldFileBackKilledRunLeavesItsKeptFilesToTheNext) {
  const std::string failing = "MSINET.OCX", passing = "MSCAL.OCX";
  const auto calls = [](const std::string& name) {
    return StandInRegsvr32::Calls("regsvr32.exe /s \"" + Target(name) + "\"");
  };
  const StandInRegsvr32 standIn;
  Targets targets;
  for (const std::string& name : {failing, passing}) targets.Place(name);
  const std::string old = Identity(Target(failing));
  // Killed while the stand-in holds the registrations, once the last one is
  // under way (Wine leaves a process its parent dies starting hanging): the
  // old files are kept beside the new ones, each as the very same file.
  const HANDLE hold = ::CreateMutexA(nullptr, TRUE, "TarnvelStandInHold");
  {
    const Process killed(kSetupExe, "/s");
    EXPECT_TRUE(WaitUntil("every registration to start", [&] {
      return calls(failing) && calls(passing) && calls("uxtheme.dll");  // Wine's own, the last
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

  // The next run sweeps them; the failing one, older again, is put back,
  // read-only as it was.
  for (const std::string& name : {failing, passing})
    targets.Place(name, name == failing ? FILE_ATTRIBUTE_READONLY : 0);
  const std::string placed = Identity(Target(failing));
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kCallsKey);
  const std::string logs = NewFolder("tarnvel_put_back_log");
  EXPECT_EQ(Process(kSetupExe, "/s", "", 0, logs).Exit(), 1u);
  EXPECT_EQ(Identity(Target(failing)), placed);
  EXPECT_TRUE(ReadWhole(Target(failing)) == OlderCopy(failing)) << "not its old bytes";
  EXPECT_EQ(Attributes(Target(failing)) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(ReadWhole(Target(passing)) == Payload(passing));
  EXPECT_EQ(calls(failing) * 10 + calls(passing), 21u) << "registered twice and once";
  EXPECT_EQ(Matching(SystemDirectory(), "~tvl*"), std::vector<std::string>{});
  ExpectLines(LogTexts(logs).at(0),
              {"Deleted a killed run's leftover " + SystemDirectory() + "\\~tvl",
               failing + ": registration failed, old file put back\r\n",
               failing + " (old file): registration exit code 5, failed\r\n"});
}

}  // namespace
}  // namespace tarnvel::test
