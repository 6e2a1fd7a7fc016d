// A component in use is queued for the next restart, by the paths Windows
// knows; a refused write is told apart from a failure; one setup at a time.
#include <gtest/gtest.h>

#include <sstream>

#include "app/setup_app.h"
#include "fake_platform.h"
#include "install/manifest.h"

namespace tarnvel::test {
namespace {

const std::string kSys = "C:\\WINDOWS\\system32";
const std::string kWow = "C:\\WINDOWS\\SysWOW64";

struct Row {
  const char* name;
  const char* commandLine;
  const char* inUse;   // names held by another program
  const char* denied;  // names whose open is denied
  std::optional<OutputStep> refused;
  std::string wow64Directory;
  // Expected:
  int exitCode;
  std::vector<std::string> boxes;
  std::vector<std::string> renames;            // "FROM > TO: BYTES"
  std::map<std::string, std::string> runOnce;  // by value name
  std::vector<std::string> logged;             // lines that must be there, in order
};

std::string Box(const std::string& prompt) { return "Installation Finish|" + prompt + "|0x40"; }
std::string Rename(const std::string& folder, const std::string& name) {
  return folder + "\\~tvl1_1.tmp > " + folder + "\\" + name + ": MZ new " + name;
}
std::string Command(const std::string& folder, const std::string& name) {
  return "\"" + folder + "\\regsvr32.exe\" /s \"" + folder + "\\" + name + "\"";
}

// clang-format off
const Row kRows[] = {
    {"InUseIsQueuedNotCountedAndEndsSilentlyWith3010", "setup.exe /s", "MSCAL.OCX", "", {}, "",
     kExitRestartRequired, {}, {Rename(kSys, "MSCAL.OCX")},
     {{"Tarnvel MSCAL.OCX", Command(kSys, "MSCAL.OCX")}},
     {"MSCAL.OCX: in use (error 32, text of 32), to be replaced at the next restart",
      "MSCAL.OCX: rename queued for the restart, " + kSys + "\\~tvl1_1.tmp over " + kSys +
          "\\MSCAL.OCX",
      "MSCAL.OCX: registration queued for the first administrator's logon after the restart, " +
          Command(kSys, "MSCAL.OCX"),
      "End: 0 copies failed, 0 registrations failed, 1 waiting for the restart, exit code 3010"}},
    {"UnderWow64EveryPathForTheRestartNamesSysWow64", "setup.exe /s", "MSCAL.OCX", "", {}, kWow,
     kExitRestartRequired, {}, {Rename(kWow, "MSCAL.OCX")},
     {{"Tarnvel MSCAL.OCX", Command(kWow, "MSCAL.OCX")}}, {}},
    {"RenameRefusedIsACountedFailure", "setup.exe /s", "MSCAL.OCX", "", OutputStep::kQueueRename,
     "", kExitFailures, {}, {}, {},
     {"MSCAL.OCX: failed at queueing the rename for the restart, error 5 (text of 5)",
      "End: 1 copy failed, 0 registrations failed, exit code 1"}},
    {"RegistrationRefusedIsACountedFailure", "setup.exe /s", "MSCAL.OCX", "",
     OutputStep::kQueueRegistration, "", kExitFailures, {}, {Rename(kSys, "MSCAL.OCX")}, {},
     {"MSCAL.OCX: failed at queueing the registration for the restart, error 5 (text of 5)"}},
    {"InteractiveRunSaysHowManyWaitInsteadOfTheFinish", "setup.exe", "MSCAL.OCX MSINET.OCX", "",
     {}, "", kExitRestartRequired,
     {Box("2 files in use will be replaced when Windows restarts.")},
     {Rename(kSys, "MSCAL.OCX"), Rename(kSys, "MSINET.OCX")},
     {{"Tarnvel MSCAL.OCX", Command(kSys, "MSCAL.OCX")},
      {"Tarnvel MSINET.OCX", Command(kSys, "MSINET.OCX")}}, {}},
    {"InUseBesideAFailureEndsWith1StillSaidInAnyInteractiveRun", "setup.exe /x", "MSCAL.OCX",
     "agentctl.dll", {}, "", kExitFailures,
     {Box("1 file in use will be replaced when Windows restarts.")}, {Rename(kSys, "MSCAL.OCX")},
     {{"Tarnvel MSCAL.OCX", Command(kSys, "MSCAL.OCX")}},
     {"End: 1 copy failed, 0 registrations failed, 1 waiting for the restart, exit code 1"}},
};
// clang-format on

// Ends the program and gives its exit code: the silent run on its own, an
// interactive one through Next and Install. `views` gets the windows created.
int RunToEnd(FakePlatform& p, int* views = nullptr) {
  CountingBackend backend;
  SetupApp app(p);
  int code = -1;
  try {
    app.Start();
    app.Welcome().cmdNext.Click();
    app.Installation().cmdInstall.Click();
    ADD_FAILURE() << "the program did not end";
  } catch (const Ended& ended) {
    code = ended.code;
  }
  if (views) *views = backend.views;
  return code;
}

TEST(RestartReplacement, InUseTargetsWaitForTheRestartByTheirTruePaths) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    FakePlatform p;
    p.commandLine = row.commandLine;
    p.wow64Directory = row.wow64Directory;
    p.restartRefused = row.refused;
    for (const Component& c : kManifest)
      p.payloads[Upper(c.name)] = std::string("MZ new ") + c.name;
    const auto place = [&](const char* names, bool FakePlatform::File::*mark) {
      std::istringstream in(names);
      for (std::string name; in >> name;) (p.files[kSys + "\\" + name] = {"MZ old"}).*mark = true;
    };
    place(row.inUse, &FakePlatform::File::locked);
    place(row.denied, &FakePlatform::File::denied);

    EXPECT_EQ(RunToEnd(p), row.exitCode);
    EXPECT_EQ(p.boxes, row.boxes);
    EXPECT_EQ(p.renamesAtRestart, row.renames);
    EXPECT_EQ(p.runOnce, row.runOnce);
    // The write at restart is prepared by the path this program uses; in use,
    // nothing is written or registered now.
    for (const std::string& event : p.events) {
      if (event.rfind("restart ", 0) == 0) {
        EXPECT_EQ(event.find(kSys + "\\"), 8u) << event;
      }
    }
    for (const auto& [path, file] : p.files) EXPECT_EQ(file.bytes, "MZ old") << path;
    EXPECT_EQ(p.starts, std::vector<std::string>{});
    auto at = p.log.begin();
    for (const std::string& line : row.logged) {
      at = std::find(at, p.log.end(), line);
      EXPECT_NE(at, p.log.end()) << line;
    }
  }
}

TEST(OneSetupAtATime, SecondCopyTouchesNothingSaysSoWhenInteractiveAndEndsWith1618) {
  for (const bool silent : {true, false}) {
    SCOPED_TRACE(silent ? "silent" : "interactive");
    FakePlatform p;
    p.commandLine = silent ? "setup.exe /s" : "setup.exe";
    p.otherSetupRunning = true;
    p.files[kSys + "\\MSCAL.OCX"] = {"MZ old"};
    int views = -1;
    EXPECT_EQ(RunToEnd(p, &views), kExitAnotherSetupRunning);
    EXPECT_EQ(p.events, std::vector<std::string>{"lock"});
    EXPECT_EQ(views, 0);
    EXPECT_EQ(p.boxes, silent ? std::vector<std::string>{}
                              : std::vector<std::string>{"Tarnvel Vivi-Installation Setup|Setup "
                                                         "is already running.|0x30"});
    EXPECT_EQ(p.log.back(), "Another copy of the setup is running: nothing done, exit code 1618");
  }
}

}  // namespace
}  // namespace tarnvel::test
