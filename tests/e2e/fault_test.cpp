// A silent run whose image is cut short while it runs, as a network share
// that drops or a USB stick pulled out leaves it: the code stays, the later
// payloads are gone, and reading one faults.
#include <algorithm>
#include <optional>
#include <regex>
#include <set>

#include "app/win32_platform.h"
#include "e2e_support.h"

namespace tarnvel::test {
namespace {

// Where a payload of `exe` begins, by the image's own resource table: in its
// file, or from its base as loaded for LOAD_LIBRARY_AS_IMAGE_RESOURCE.
std::size_t PayloadAt(const std::string& exe, const std::string& name,
                      DWORD layout = LOAD_LIBRARY_AS_DATAFILE) {
  const HMODULE file = ::LoadLibraryExA(exe.c_str(), nullptr, layout);
  const HRSRC found = ::FindResourceA(file, MAKEINTRESOURCEA(1), name.c_str());
  const char* data = static_cast<const char*>(::LockResource(::LoadResource(file, found)));
  const std::size_t at = data - reinterpret_cast<const char*>(ULONG_PTR(file) & ~ULONG_PTR(3));
  ::FreeLibrary(file);
  return at;
}

// In manifest order: the first is written before the cut, which lies at the
// second's payload and takes every later one, the payload checksums too.
const char* const kTargets[] = {"agentctl.dll", "MSCOMCTL.OCX", "MSCOMM32.OCX", "msvbvm60.dll"};

TEST(SilentRun, ImageCutShortMidRunEndsWithCode3TheFaultLoggedNoWindowAndEveryTargetWhole) {
  Targets targets;
  for (const char* name : kTargets) targets.Place(name);
  const std::string folder = NewFolder("tarnvel_cut");
  const std::string exe = folder + "\\setup.exe";
  ASSERT_TRUE(::CopyFileA(kSetupExe.c_str(), exe.c_str(), FALSE));
  const std::size_t cut = PayloadAt(exe, kTargets[1]);
  ASSERT_EQ(ReadWhole(exe)->substr(cut, Payload(kTargets[1]).size()), Payload(kTargets[1]));
  ASSERT_LT(PayloadAt(exe, kTargets[0]) + Payload(kTargets[0]).size(), cut);
  ASSERT_GT(std::min(PayloadAt(exe, kTargets[2]), PayloadAt(exe, kTargets[3])), cut);

  const std::vector<HWND> before = WindowsOf(0);
  const std::string logs = NewFolder("tarnvel_cut_log");
  Process setup(exe, "/s", folder, DEBUG_ONLY_THIS_PROCESS, logs);
  ASSERT_TRUE(setup.Started());
  // Held as it first reads the second target's payload, the first target
  // written. Wine, like Windows, opens a running image to no writer: the cut
  // comes from outside, from a Unix program, as a dropped share's comes.
  const std::size_t read = PayloadAt(exe, kTargets[1], LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(HoldAtFirstRead(read, [&] {
    EXPECT_TRUE(ReadWhole(Target(kTargets[0])) == Payload(kTargets[0]));
    // The system's own boxes off since its first statement. What it starts
    // inherits them on Windows; Wine hands no error mode on.
    EXPECT_EQ(setup.ErrorMode(),
              std::optional<DWORD>(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX |
                                   SEM_NOOPENFILEERRORBOX));
    const Process truncate("Z:\\usr\\bin\\truncate", "-s " + std::to_string(cut) + " setup.exe",
                           folder);
    const auto size = [&] { return ReadWhole(exe).value_or("").size(); };
    EXPECT_TRUE(WaitUntil(
        "setup.exe to be cut to " + std::to_string(cut) + " bytes", [&] { return size() == cut; },
        [&] { return std::to_string(size()); }));
  }));
  // Until it ends, or a window shows: Wine's crash window holds it.
  std::set<std::string> windows;
  WaitUntil("setup.exe /s to end", [&] {
    for (HWND window : WindowsOf(0))
      if (std::find(before.begin(), before.end(), window) == before.end())
        windows.insert(TextOf(window));
    return !setup.Running() || !windows.empty();
  });
  ASSERT_EQ(windows, std::set<std::string>{}) << "a window of any process";
  ASSERT_FALSE(setup.Running());
  EXPECT_EQ(setup.Exit(), 3u);

  const std::vector<std::string> logged = LogsIn(logs);
  ASSERT_EQ(logged.size(), 1u);
  const std::string log = ReadWhole(logs + "\\" + logged[0]).value_or("");
  // A page lost with its file: Windows reports an in-page error; Wine, from
  // the signal it gets, an access violation or an illegal instruction.
  const std::string last = log.substr(log.rfind('\n', log.size() - 3) + 1);
  EXPECT_TRUE(std::regex_match(
      last, std::regex("[0-9:.]{12} Unexpected error: exception 0xC00000(06|05|1D) at "
                       "0x[0-9A-F]{8}, exit code 3\r\n")))
      << log;
  for (const char* name : kTargets) {
    const std::optional<std::string> now = ReadWhole(Target(name));
    EXPECT_TRUE(now == Payload(name) || now == OlderCopy(name)) << name;
  }
  Win32Platform().SweepTemporaryFiles(SystemDirectory());
  EXPECT_EQ(Matching(SystemDirectory(), "~tvl*"), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarnvel::test
