// A component another program holds, replaced and registered by the restart
// as the prefix's own kind of Windows carries it out (wineboot -r), after a
// second copy that found the setup running touched nothing; on the way, a
// failed registration's component put back as the very file it was. Whatever
// a test leaves queued is carried out before it ends: the prefix is shared.
#include <sddl.h>

#include <regex>

#include "app/win32_handles.h"
#include "e2e_support.h"

namespace tarnvel::test {
namespace {

// Where the restart's own code finds the files: SysWOW64 on a 64-bit
// Windows, the system directory on a 32-bit one, which has none.
std::string TrueSystemFolder() {
  char buffer[MAX_PATH];
  const UINT length = ::GetSystemWow64DirectoryA(buffer, MAX_PATH);
  return length ? std::string(buffer, length) : SystemDirectory();
}

// The restart's work: the system's own wineboot, which a 32-bit program on a
// 64-bit Windows reaches through sysnative.
std::optional<DWORD> Restart() {
  const bool wow64 = TrueSystemFolder() != SystemDirectory();
  return Process((wow64 ? "C:\\windows\\sysnative" : SystemDirectory()) + "\\wineboot.exe", "-r")
      .Exit();
}

// Carries out whatever is still queued when it goes, and removes what is
// left: a restart consumes every pending rename and RunOnce value.
struct RestartQueue {
  ~RestartQueue() {
    Restart();
    for (const std::string& name : Matching(SystemDirectory(), "~tvl*"))
      Remove(SystemDirectory() + "\\" + name);
  }
};

std::string DaclOf(const std::string& path) {
  DWORD size = 0;
  ::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<unsigned char> descriptor(size + 1);
  char* text = nullptr;
  if (!::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size,
                          &size) ||
      !::ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
    return "(unreadable)";
  const std::string dacl = text;
  ::LocalFree(text);
  return dacl;
}

// Takes Everyone's ACE out of the file's DACL, and gives the DACL it then
// reads back with. Under Wine a DACL lives on only as the Unix mode, and a
// new file's mode lets Everyone read: a replacement that did not take the
// target's security over would read back with that ACE.
std::string WithoutEveryone(const std::string& path) {
  const std::string dacl = std::regex_replace(DaclOf(path), std::regex(R"(\([^()]*;;;WD\))"), "");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorA(dacl.c_str(), SDDL_REVISION_1,
                                                             &descriptor, nullptr))
    ::SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor);
  ::LocalFree(descriptor);
  return DaclOf(path);
}

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

// A user whose temporary folder, and the folder the setup starts from, are
// named outside the ANSI code page. TEMP reaches setup.exe through the
// environment it inherits: Wine reads HKCU\Environment only for a process
// started from outside Wine.
TEST(RestartRun,
     SecondCopyAndUnseenRunsTouchNothingHeldTargetQueuedOnceInThreeIsReplacedFailedOnePutBack) {
  const std::string held = "MSCAL.OCX", free = "MSCOMM32.OCX";
  const std::string failing = "MSINET.OCX";  // the stand-in fails its registration
  const auto calls = [](const std::string& name) {
    return StandInRegsvr32::Calls("regsvr32.exe /s \"" + Target(name) + "\"");
  };
  const StandInRegsvr32 standIn;
  Targets targets;
  const RestartQueue queue;  // goes first, while the stand-in is in place
  targets.Place(held);
  targets.Place(free);
  const HANDLE running = ::CreateMutexA(nullptr, FALSE, "Global\\TarnvelPreInstallationSetup");
  ASSERT_NE(running, nullptr);
  EXPECT_EQ(Process(kSetupExe, "/s").Exit(), 1618u);
  ::CloseHandle(running);
  // In a window station of the test's own, as a service gets, no one sees a
  // window: without /s the setup ends with 1639 and says why. The third run
  // below, with /s, installs there.
  const Unique<HWINSTA, &::CloseWindowStation> station(
      ::CreateWindowStationA("TarnvelUnseen", 0, WINSTA_ALL_ACCESS, nullptr));
  const std::string unseen = "TarnvelUnseen\\Default", unseenLogs = NewFolder("tarnvel_unseen");
  for (const char* tail : {"", "/S"})
    EXPECT_EQ(Process(kSetupExe, tail, "", 0, unseenLogs, unseen).Exit(), 1639u) << tail;
  ExpectLines(LogTexts(unseenLogs).at(1),
              {"nothing done; run setup.exe /s to install without windows, exit code 1639\r\n"});
  EXPECT_TRUE(ReadWhole(Target(free)) == OlderCopy(free)) << "written by a second or unseen copy";
  const std::string secured = WithoutEveryone(Target(held));
  ASSERT_EQ(secured.find(";;;WD)"), std::string::npos) << secured;
  ASSERT_EQ(WithoutEveryone(Target(free)), secured);
  const HANDLE holder =
      ::CreateFileA(Target(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const std::string from = NewFolder("Установка 安装"), logs = NewFolder("Пример 例");
  ASSERT_TRUE(Copy(kSetupExe, from + "\\setup.exe"));
  const std::string sys = TrueSystemFolder();
  const std::string registration = "\"" + sys + "\\regsvr32.exe\" /s \"" + sys + "\\" + held + "\"";

  // Three times before the restart, each queueing one copy at most. Before
  // the third, a run killed while the stand-in holds its registrations, once
  // the last is under way (Wine leaves a process its parent dies starting
  // hanging), leaves the failing target's old file kept beside it as the very
  // same file; the third run sweeps that, and puts the old file back.
  std::string placed;
  for (std::size_t run = 1; run <= 3; ++run) {
    SCOPED_TRACE(run);
    if (run == 3) {
      targets.Place(failing);
      const std::string old = Identity(Target(failing));
      ::RegDeleteTreeA(HKEY_CURRENT_USER, kCallsKey);
      const HANDLE hold = ::CreateMutexA(nullptr, TRUE, "TarnvelStandInHold");
      {
        const Process killed(kSetupExe, "/s");
        EXPECT_TRUE(WaitUntil("every registration to start", [&] {
          return calls(failing) && calls(free) && calls("uxtheme.dll");  // Wine's own, the last
        }));
        std::vector<std::string> kept;
        for (const std::string& name : Matching(SystemDirectory(), "~tvl*"))
          kept.push_back(Identity(SystemDirectory() + "\\" + name));
        EXPECT_EQ(kept.size(), 2u) << "the queued copy and the old file";
        EXPECT_EQ(std::count(kept.begin(), kept.end(), old), 1)
            << "the old file not kept as itself";
      }
      ::ReleaseMutex(hold);
      ::CloseHandle(hold);
      EXPECT_TRUE(ReadWhole(Target(failing)) == Payload(failing));
      EXPECT_TRUE(WaitUntil("the held registrations to end", NoRegistrationRunning));
      targets.Place(failing, OlderCopy(failing), FILE_ATTRIBUTE_READONLY);
      placed = Identity(Target(failing));
    }
    Process setup(from + "\\setup.exe", "/s", from, 0, logs, run == 3 ? unseen : "");
    EXPECT_EQ(setup.Exit(), run == 3 ? 1u : 3010u) << "a failure wins over a restart";
    const std::vector<std::string> queued = Matching(SystemDirectory(), "~tvl*");
    ASSERT_EQ(queued.size(), 1u) << "one copy, kept for the restart";
    // This run's log, in the user's folder, naming the paths handed over for
    // the restart.
    const std::vector<std::string> logged = LogsIn(logs);
    ASSERT_EQ(logged.size(), run) << "no log in " << logs;
    const std::string log = ReadWhole(logs + "\\" + logged.back()).value_or("");
    ExpectLines(log, {held + (run == 1 ? ": rename queued" : ": rename already queued") +
                          " for the restart, " + sys + "\\" + queued[0] + " over " + sys + "\\" +
                          held + "\r\n",
                      held +
                          ": registration queued for the first administrator's logon after the "
                          "restart, " +
                          registration + "\r\n"});
  }
  ExpectLines(LogTexts(logs).back(),
              {"Deleted a killed run's leftover " + SystemDirectory() + "\\~tvl",
               failing + ": registration failed, old file put back\r\n",
               failing + " (old file): registration exit code 5, failed\r\n"});
  EXPECT_EQ(Identity(Target(failing)), placed);
  EXPECT_TRUE(ReadWhole(Target(failing)) == OlderCopy(failing)) << "not its old bytes";
  EXPECT_TRUE(Attributes(Target(failing)) & FILE_ATTRIBUTE_READONLY) << "not its old mark";
  EXPECT_EQ(calls(failing), 3u) << "killed; then the new file, and the old one again";
  ::CloseHandle(holder);
  EXPECT_TRUE(ReadWhole(Target(held)) == OlderCopy(held)) << "changed before the restart";
  // Written now, with its security.
  EXPECT_TRUE(ReadWhole(Target(free)) == Payload(free));
  EXPECT_EQ(DaclOf(Target(free)), secured);

  EXPECT_EQ(Restart(), 0u);
  EXPECT_TRUE(ReadWhole(Target(held)) == Payload(held)) << "not replaced at the restart";
  EXPECT_EQ(DaclOf(Target(held)), secured) << "the restart's file lost the target's security";
  EXPECT_EQ(Matching(SystemDirectory(), "~tvl*"), std::vector<std::string>{});
  // Both halves of the restart's work name the true system folder: under
  // WoW64's system32 they replace and register nothing. One RunOnce value,
  // replaced by the second run.
  EXPECT_EQ(StandInRegsvr32::Calls(registration), 1u) << "registered once, by " << sys;
}

}  // namespace
}  // namespace tarnvel::test
