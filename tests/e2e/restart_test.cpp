// A component another program holds, replaced and registered by the restart
// as the 64-bit prefix carries it out (wineboot -r), and one setup at a time.
// Whatever a test leaves queued is carried out before it ends: the prefix is
// shared by the whole test run.
#include <sddl.h>

#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"

namespace tarnvel::test {
namespace {

constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
std::string Wow64Directory() {
  char buffer[MAX_PATH];
  return std::string(buffer, ::GetSystemWow64DirectoryA(buffer, MAX_PATH));
}

// The strings of a REG_MULTI_SZ or REG_SZ value of HKLM in that registry
// view; none when it is absent.
std::vector<std::string> ValueStrings(const char* key, const char* value, DWORD type,
                                      REGSAM view = 0) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
    return {};
  DWORD size = 0;
  std::vector<char> data;
  if (::RegGetValueA(opened, nullptr, value, type, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    data.assign(size + 2, '\0');
    ::RegGetValueA(opened, nullptr, value, type, nullptr, data.data(), &size);
  }
  ::RegCloseKey(opened);
  std::vector<std::string> strings;
  for (const char* at = data.data(); !data.empty() && *at != '\0'; at += strings.back().size() + 1)
    strings.emplace_back(at);
  return strings;
}

std::vector<std::string> PendingRenames() {
  return ValueStrings("System\\CurrentControlSet\\Control\\Session Manager",
                      "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ);
}

// The setup's values in RunOnce, as 64-bit Windows reads it at restart.
std::vector<std::string> QueuedRegistrations() {
  std::vector<std::string> commands;
  for (const Component& component : kManifest) {
    const std::string name = std::string("Tarnvel ") + component.name;
    for (const std::string& command :
         ValueStrings(kRunOnceKey, name.c_str(), RRF_RT_REG_SZ, KEY_WOW64_64KEY))
      commands.push_back(name + ": " + command);
  }
  return commands;
}

// The restart's work: the 64-bit wineboot, reached through sysnative.
std::optional<DWORD> Restart() {
  return Process("C:\\windows\\sysnative\\wineboot.exe", "-r").Exit();
}

// Carries out what is still queued when it goes, and removes what is left.
class RestartQueue {
 public:
  ~RestartQueue() {
    if (!PendingRenames().empty() || !QueuedRegistrations().empty()) Restart();
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

std::string LogOf(const std::string& folder, std::size_t index) {
  const std::vector<std::string> logs = LogsIn(folder);
  return index < logs.size() ? ReadWhole(folder + "\\" + logs[index]).value_or("") : "";
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
  const std::string logs = NewFolder("tarnvel_restart_log");
  for (std::size_t run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    if (run == 2) {
      ASSERT_TRUE(WriteWhole(leftover, "MZ"));
    }
    std::optional<TemporaryFolderAt> temporary(logs);
    Process setup(kSetupExe, "/s");
    temporary.reset();
    EXPECT_EQ(setup.Exit(), 3010u);
    EXPECT_EQ(Matching(SystemDirectory(), "~tvl*").size(), run) << "one queued by each run";
    const std::string log = LogOf(logs, run - 1);
    EXPECT_NE(log.find(" End: 0 copies failed, 0 registrations failed, 1 waiting for the restart, "
                       "exit code 3010\r\n"),
              std::string::npos)
        << log;
    // Only the leftover is swept: the file queued by the first run stays.
    const std::size_t deleted = log.find("Deleted");
    EXPECT_EQ(deleted == std::string::npos
                  ? ""
                  : log.substr(deleted, log.find('\n', deleted) + 1 - deleted),
              run == 1 ? "" : "Deleted a killed run's leftover " + leftover + "\r\n");
    EXPECT_EQ(log.find("Deleted", deleted + 1), std::string::npos) << log;
  }
  ::CloseHandle(holder);
  EXPECT_TRUE(ReadWhole(Target(held)) == OlderCopy(held)) << "changed before the restart";
  // Written now, with its security.
  EXPECT_TRUE(ReadWhole(Target(free)) == Payload(free));
  EXPECT_EQ(DaclOf(Target(free)), secured);
  // Every path handed over for the restart names SysWOW64.
  const std::string wow = Wow64Directory();
  for (const std::string& entry : PendingRenames()) {
    EXPECT_EQ(
        _strnicmp(entry.c_str() + (entry[0] == '!'), ("\\??\\" + wow).c_str(), wow.size() + 4), 0)
        << entry;
  }
  const std::string registration = "\"" + wow + "\\regsvr32.exe\" /s \"" + wow + "\\" + held + "\"";
  EXPECT_EQ(QueuedRegistrations(),
            std::vector<std::string>{"Tarnvel " + held + ": " + registration});

  EXPECT_EQ(Restart(), 0u);
  EXPECT_TRUE(ReadWhole(Target(held)) == Payload(held)) << "not replaced at the restart";
  EXPECT_EQ(DaclOf(Target(held)), secured) << "the restart's file lost the target's security";
  EXPECT_EQ(Matching(SystemDirectory(), "~tvl*"), std::vector<std::string>{});
  EXPECT_EQ(StandInRegsvr32::Calls()[registration], 1u) << "registered once, by SysWOW64";
  EXPECT_EQ(PendingRenames(), std::vector<std::string>{});
  EXPECT_EQ(QueuedRegistrations(), std::vector<std::string>{});
}

TEST(SecondCopyRun, WhileAnotherCopyRunsTouchesNothingAndEndsWith1618) {
  Targets targets;
  targets.Place("MSCOMM32.OCX");
  const HANDLE running = ::CreateMutexA(nullptr, FALSE, "Global\\TarnvelPreInstallationSetup");
  ASSERT_NE(running, nullptr);
  const std::string logs = NewFolder("tarnvel_second_log");
  std::optional<TemporaryFolderAt> temporary(logs);
  Process setup(kSetupExe, "/s");
  temporary.reset();
  EXPECT_EQ(setup.Exit(), 1618u);
  ::CloseHandle(running);
  EXPECT_TRUE(ReadWhole(Target("MSCOMM32.OCX")) == OlderCopy("MSCOMM32.OCX"));
  EXPECT_NE(LogOf(logs, 0).find("Another copy of the setup is running: nothing done, exit code "
                                "1618\r\n"),
            std::string::npos)
      << LogOf(logs, 0);
}

}  // namespace
}  // namespace tarnvel::test
