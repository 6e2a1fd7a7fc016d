// A component another program holds, replaced and registered by the restart
// as the prefix's own kind of Windows carries it out (wineboot -r), and one
// setup at a time. Whatever a test leaves queued is carried out before it
// ends: the prefix is shared by the whole test run.
#include <sddl.h>

#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"

namespace tarnvel::test {
namespace {

// SysWOW64 on a 64-bit Windows; nothing on a 32-bit one, which has none.
std::string Wow64Directory() {
  char buffer[MAX_PATH];
  return std::string(buffer, ::GetSystemWow64DirectoryA(buffer, MAX_PATH));
}

// The restart's work: the system's own wineboot, which a 32-bit program on a
// 64-bit Windows reaches through sysnative.
std::optional<DWORD> Restart() {
  const std::string folder =
      Wow64Directory().empty() ? SystemDirectory() : "C:\\windows\\sysnative";
  return Process(folder + "\\wineboot.exe", "-r").Exit();
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
  std::vector<unsigned char> descriptor(size);
  char* text = nullptr;
  if (size == 0 ||
      !::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size,
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
  std::string dacl = DaclOf(path);
  for (std::size_t at; (at = dacl.find(";;;WD)")) != std::string::npos;) {
    const std::size_t begin = dacl.rfind('(', at);
    dacl.erase(begin, at + 6 - begin);
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorA(dacl.c_str(), SDDL_REVISION_1,
                                                             &descriptor, nullptr))
    ::SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor);
  ::LocalFree(descriptor);
  return DaclOf(path);
}

TEST(RestartRun, HeldTargetIsReplacedAndRegisteredByTheRestartTwiceQueuedKeepingItsSecurity) {
  const std::string held = "MSCAL.OCX", free = "MSCOMM32.OCX";
  const StandInRegsvr32 standIn;
  Targets targets;
  const RestartQueue queue;  // goes first, while the stand-in is in place
  targets.Place(held);
  targets.Place(free);
  const std::string secured = WithoutEveryone(Target(held));
  ASSERT_EQ(secured.find(";;;WD)"), std::string::npos) << secured;
  ASSERT_EQ(WithoutEveryone(Target(free)), secured);
  const HANDLE holder =
      ::CreateFileA(Target(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);

  // Twice before the restart; the second run finds a killed run's leftover
  // beside the first run's queued file.
  const std::string leftover = Target("~tvl1a2b_9.tmp");
  for (std::size_t run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    if (run == 2) {
      ASSERT_TRUE(WriteWhole(leftover, "MZ"));
    }
    Process setup(kSetupExe, "/s");
    EXPECT_EQ(setup.Exit(), 3010u);
    EXPECT_EQ(Matching(SystemDirectory(), "~tvl*").size(), run) << "the first run's file is kept";
  }
  EXPECT_EQ(Attributes(leftover), INVALID_FILE_ATTRIBUTES) << "what no rename names is swept";
  ::CloseHandle(holder);
  EXPECT_TRUE(ReadWhole(Target(held)) == OlderCopy(held)) << "changed before the restart";
  // Written now, with its security.
  EXPECT_TRUE(ReadWhole(Target(free)) == Payload(free));
  EXPECT_EQ(DaclOf(Target(free)), secured);
  // The folder the restart's own code finds the files in.
  const std::string wow = Wow64Directory(), sys = wow.empty() ? SystemDirectory() : wow;
  const std::string registration = "\"" + sys + "\\regsvr32.exe\" /s \"" + sys + "\\" + held + "\"";

  EXPECT_EQ(Restart(), 0u);
  EXPECT_TRUE(ReadWhole(Target(held)) == Payload(held)) << "not replaced at the restart";
  EXPECT_EQ(DaclOf(Target(held)), secured) << "the restart's file lost the target's security";
  EXPECT_EQ(Matching(SystemDirectory(), "~tvl*"), std::vector<std::string>{});
  // Both halves of the restart's work name the true system folder: under
  // WoW64's system32 they replace and register nothing. One RunOnce value,
  // replaced by the second run.
  EXPECT_EQ(StandInRegsvr32::Calls(registration), 1u) << "registered once, by " << sys;
}

TEST(SecondCopyRun, WhileAnotherCopyRunsTouchesNothingAndEndsWith1618) {
  Targets targets;
  targets.Place("MSCOMM32.OCX");
  const HANDLE running = ::CreateMutexA(nullptr, FALSE, "Global\\TarnvelPreInstallationSetup");
  ASSERT_NE(running, nullptr);
  Process setup(kSetupExe, "/s");
  EXPECT_EQ(setup.Exit(), 1618u);
  ::CloseHandle(running);
  EXPECT_TRUE(ReadWhole(Target("MSCOMM32.OCX")) == OlderCopy("MSCOMM32.OCX"));
}

}  // namespace
}  // namespace tarnvel::test
