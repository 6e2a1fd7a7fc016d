// The whole program on the host: start-up, both windows' handlers, the bar and the install run,
// against the scripted platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <tuple>

#include "app/setup_app.h"
#include "fake_platform.h"
#include "install/manifest.h"
#include "pe_image.h"

namespace tarnvel::test {
namespace {

const std::string kSys = "C:\\WINDOWS\\system32";
const std::string kWow = "C:\\WINDOWS\\SysWOW64";
const std::string kSure = "Are you Sure?|Are you sure. You want to cancel setup?|0x34";
const std::string kFinish = "Installation Finish|Installed sucessfully.|0x40";
std::string Replace(const std::string& name) {
  return "Confirm File Replace|The file\"" + name +
         "\" already exist.\r\nDo you want to replace it?|0x33";
}

struct Program {
  FakePlatform p;
  CountingBackend backend;
  SetupApp app{p};

  // Next, after the user moved the welcome window: the installation window in
  // its place and outer size, the policy showing, the bar and both lines not.
  void Next(FrmWelcome& welcome) {
    welcome.SetLeft(3000);
    welcome.cmdNext.Click();
    const FrmInstllation& w = app.Installation();
    EXPECT_TRUE(w.Visible() && !welcome.Visible());
    EXPECT_EQ(std::vector<int>({w.Left(), w.Top(), w.Width(), w.Height()}),
              std::vector<int>({3000, welcome.Top(), welcome.Width(), welcome.Height()}));
    EXPECT_TRUE(w.Frame1.Visible() && w.OptOverWrite.Value());
    EXPECT_FALSE(w.shpBack.Visible() || w.ShpBar.Visible() || w.ShpFrame.Visible());
    EXPECT_EQ(w.lblFileName.Caption() + w.lblErr.Caption(), "");
  }

  // Starts the program and clicks `clicks` in order: the exit code once they end it.
  std::optional<int> Run(const std::string& clicks) {
    try {
      app.Start();
      std::istringstream words(clicks);
      for (std::string click; words >> click;) {
        FrmWelcome& welcome = app.Welcome();
        if (click == "close") welcome.OnCloseCommand();
        if (click == "quit") welcome.cmdCanel.Click();
        EXPECT_TRUE(welcome.Visible() || (click != "close" && click != "quit")) << "gone on No";
        if (click == "next") Next(welcome);
        if (click == "ask") app.Installation().OptAsk.Click();
        if (click == "cancel") app.Installation().cmdCanel.Click();
        if (click == "install") app.Installation().cmdInstall.Click();
      }
    } catch (const Ended& ended) {
      return ended.code;
    } catch (const Unscripted& u) {
      ADD_FAILURE() << "unscripted box " << u.box;
    }
    return std::nullopt;
  }
  // Every payload, "MZ new NAME", and the targets `present` names in the system directory: "*"
  // for all, each name with marks after a colon: r read-only, h hidden, s system, d directory, a
  // access denied, l held by another program, q or o with a copy an earlier run queued for the
  // restart, of the payload's bytes or of others.
  void Arrange(const std::string& present) {
    for (const Component& c : kManifest)
      p.payloads[Upper(c.name)] = "MZ new " + std::string(c.name);
    std::istringstream words(present);
    for (std::string word; words >> word;) {
      const std::size_t colon = std::min(word.find(':'), word.size());
      const auto is = [&](char mark) { return word.find(mark, colon) != std::string::npos; };
      for (const Component& c : kManifest) {
        if (word.compare(0, colon, "*") != 0 && word.compare(0, colon, c.name) != 0) continue;
        p.files[p.systemDirectory + "\\" + c.name] = {
            "MZ old " + std::string(c.name), is('r'), is('h'), is('s'), is('d'), is('l'), is('a')};
        if (!is('q') && !is('o')) continue;
        const std::string queued = p.systemDirectory + "\\~tvl9_1.tmp";
        p.queuedBefore[p.systemDirectory + "\\" + c.name] = queued;
        p.files[queued] = {(is('q') ? "MZ new " : "MZ older ") + std::string(c.name)};
      }
    }
  }
};

struct Scenario {
  const char *name, *commandLine;
  const char* present;  // targets in the system directory, as Program::Arrange takes them
  const char* clicks;   // the user's, in order, until the program ends; none: a silent run
  std::vector<int> answers;
  int cancelAtPump;  // Cancel clicked during this pump; -1 never
  // Expected: registrations, boxes, each change of the failure line (with the
  // file line of the moment), pumps and the exit code.
  int registered;
  std::vector<std::string> boxes, failureLine;
  int pumps, exitCode;
  std::string systemDirectory = kSys;  // "" where it cannot be determined
  // regsvr32's exit code by component, 0 when not named; none: still running.
  std::map<std::string, std::optional<std::uint32_t>> registrationExits = {};
  std::string wow64Directory = "";
  std::optional<OutputStep> restartRefused = {};
  std::vector<std::string> renames = {};            // queued for the restart: "FROM > TO: BYTES"
  std::map<std::string, std::string> runOnce = {};  // RunOnce commands by name
  std::vector<std::string> logged = {};             // lines the log holds, in this order
};

std::string Rename(const std::string& folder, const std::string& name) {
  return folder + "\\~tvl1_1.tmp > " + folder + "\\" + name + ": MZ new " + name;
}
std::string Command(const std::string& folder, const std::string& name) {
  return "\"" + folder + "\\regsvr32.exe\" /s \"" + folder + "\\" + name + "\"";
}
std::string Restart(const std::string& prompt) { return "Installation Finish|" + prompt + "|0x40"; }

const char* const kInstall = "next install";
const std::string kInUse =
    "MSCAL.OCX: in use (error 32, text of 32), to be replaced at the next restart";
const std::string kCopyFailed = "Copying MSCAL.OCX / Unable to copy 1 files.";
const std::map<std::string, std::string> kMscalRunOnce = {
    {"Tarnvel MSCAL.OCX", Command(kSys, "MSCAL.OCX")}};
// clang-format off
const Scenario kScenarios[] = {
    // name, command line, present, clicks, answers, Cancel at pump,
    //   registered, boxes, failure line, pumps, exit code
    {"OnlyVisibleFilesAreReplacedReadOnlyIncluded", "setup.exe",
     "agentctl.dll COMCAT.DLL:r Flash.ocx:h MCI32.OCX:s MSCAL.OCX:d", kInstall, {}, -1, 2,
     {kFinish}, {}, 61, kExitSuccess},
    {"CancelAnsweredNoGoesOnFailuresFromEntryFiveOnShowTheirCountWithoutTheFinish", "setup.exe",
     "* COMCTL32.OCX:a MSCAL.OCX:a", kInstall, {kIdNo}, 8, 26, {kSure}, {"Copying COMCTL32.OCX / "
     "Unable to copy 1 files.", "Copying MSCAL.OCX / Unable to copy 2 files."}, 109, kExitFailures},
    {"AskModeWritesOnlyOnYesAndGoesOnAfterCancelThenNo", "setup.exe",
     "COMCAT.DLL MSCAL.OCX MSINET.OCX", "next ask install", {kIdYes, kIdNo, kIdCancel, kIdNo}, -1,
     1, {Replace("COMCAT.DLL"), Replace("MSCAL.OCX"), Replace("MSINET.OCX"), kSure, kFinish}, {},
     60, kExitSuccess},
    {"AskModeCancelConfirmedEndsTheRun", "setup.exe", "COMCAT.DLL MSCAL.OCX", "next ask install",
     {kIdCancel, kIdYes}, -1, 0, {Replace("COMCAT.DLL"), kSure}, {}, 5, kExitCancelled},
    {"WelcomeCloseBoxConfirmedEnds", "setup.exe", "", "close", {kIdYes}, -1, 0, {kSure}, {}, 0,
     kExitCancelled},
    // A trailing blank makes the tail no /s: interactive, and without the finish message.
    {"CancelAnsweredNoInEitherWindowStaysNextStillWorksAndThePolicyStays", "setup.exe /s ",
     "COMCAT.DLL", "quit next ask cancel install", {kIdNo, kIdNo, kIdNo}, -1, 0, {kSure, kSure,
     Replace("COMCAT.DLL")}, {}, 56, kExitSuccess},
    // The components lie in the drive's root, where the targets would point.
    {"QuotedNameStillSilentUnknownSystemDirectoryWritesAndRegistersNothing",
     "\"C:\\My Setup\\setup.exe\"  /s", "*", "", {}, -1, 0, {}, {}, 56, kExitSuccess, ""},
    // The registrations are waited for after the last entry: one pump, then one more after each
    // wait. A failed one's old file is put back and registered again.
    {"RegistrationExitingFiveWithholdsTheFinishLeavingTheFailureLine", "setup.exe", "COMCAT.DLL "
     "MSCAL.OCX", kInstall, {}, -1, 3, {}, {}, 61, kExitFailures, kSys, {{"COMCAT.DLL", 5}}},
    {"CancelWhileWaitingAnsweredNoWaitsOnPastTheDeadline", "setup.exe", "COMCAT.DLL", kInstall,
     {kIdNo}, 58, 1, {kSure}, {}, 60, kExitFailures, kSys, {{"COMCAT.DLL", {}}}},
    // A component in use waits for the restart, not counted as a failure, by the paths Windows
    // knows: under WoW64 every path handed to the restart names SysWOW64.
    {"InUseUnderWow64IsQueuedBySysWow64PathsAndEndsSilentlyWith3010", "setup.exe /s",
     "MSCAL.OCX:l", "", {}, -1, 0, {}, {}, 56, kExitRestartRequired, kSys, {}, kWow, {},
     {Rename(kWow, "MSCAL.OCX")}, {{"Tarnvel MSCAL.OCX", Command(kWow, "MSCAL.OCX")}}, {kInUse,
     "MSCAL.OCX: rename queued for the restart, " + kWow + "\\~tvl1_1.tmp over " + kWow +
     "\\MSCAL.OCX", "MSCAL.OCX: registration queued for the first administrator's logon after "
     "the restart, " + Command(kWow, "MSCAL.OCX"),
     "End: 0 copies failed, 0 registrations failed, 1 waiting for the restart, exit code 3010"}},
    // Run again before the restart: an earlier run's copy of these bytes is
    // used again; one of other bytes is renamed before the new one.
    {"InUseAlreadyQueuedWithThePayloadQueuesNoSecondCopy", "setup.exe /s", "MSCAL.OCX:lq", "",
     {}, -1, 0, {}, {}, 56, kExitRestartRequired, kSys, {}, "", {}, {}, kMscalRunOnce, {kInUse,
     "MSCAL.OCX: rename already queued for the restart, " + kSys + "\\~tvl9_1.tmp over " + kSys +
     "\\MSCAL.OCX"}},
    {"InUseQueuedWithOtherBytesIsQueuedAgain", "setup.exe /s", "MSCAL.OCX:lo", "", {}, -1, 0, {},
     {}, 56, kExitRestartRequired, kSys, {}, "", {}, {Rename(kSys, "MSCAL.OCX")}, kMscalRunOnce},
    {"RenameRefusedIsACountedFailure", "setup.exe /s", "MSCAL.OCX:l", "", {}, -1, 0, {},
     {kCopyFailed}, 56, kExitFailures, kSys, {}, "", OutputStep::kQueueRename, {}, {},
     {"MSCAL.OCX: failed at queueing the rename for the restart, error 5 (text of 5)",
      "End: 1 copy failed, 0 registrations failed, exit code 1"}},
    {"RegistrationRefusedIsACountedFailure", "setup.exe /s", "MSCAL.OCX:l", "", {}, -1, 0, {},
     {kCopyFailed}, 56, kExitFailures, kSys, {}, "", OutputStep::kQueueRegistration,
     {Rename(kSys, "MSCAL.OCX")}, {},
     {"MSCAL.OCX: failed at queueing the registration for the restart, error 5 (text of 5)"}},
    {"InteractiveRunSaysHowManyWaitInsteadOfTheFinish", "setup.exe", "MSCAL.OCX:l MSINET.OCX:l",
     kInstall, {}, -1, 0, {Restart("2 files in use will be replaced when Windows restarts.")}, {},
     56, kExitRestartRequired, kSys, {}, "", {}, {Rename(kSys, "MSCAL.OCX"), Rename(kSys,
     "MSINET.OCX")}, {*kMscalRunOnce.begin(), {"Tarnvel MSINET.OCX", Command(kSys, "MSINET.OCX")}}},
    {"InUseBesideAFailureEndsWith1StillSaidInAnyInteractiveRun", "setup.exe /x", "MSCAL.OCX:l "
     "agentctl.dll:a", kInstall, {}, -1, 0, {Restart("1 file in use will be replaced when Windows "
     "restarts.")}, {"Copying agentctl.dll / Unable to copy 1 files."}, 56, kExitFailures, kSys,
     {}, "", {}, {Rename(kSys, "MSCAL.OCX")}, kMscalRunOnce,
     {kInUse, "End: 1 copy failed, 0 registrations failed, 1 waiting for the restart, exit code "
      "1"}},
};
// clang-format on

TEST(InstallRun, Scenarios) {
  for (const Scenario& s : kScenarios) {
    SCOPED_TRACE(s.name);
    Program run;
    FakePlatform& p = run.p;
    p.commandLine = s.commandLine;
    p.systemDirectory = s.systemDirectory;
    p.answers.assign(s.answers.begin(), s.answers.end());
    p.exitCodes = s.registrationExits;
    p.wow64Directory = s.wow64Directory;
    p.restartRefused = s.restartRefused;
    const std::uint32_t clockAtStart = p.clock;
    run.Arrange(s.present);
    const std::size_t fileCount = p.files.size();
    const bool silent = !*s.clicks;

    std::vector<std::string> failureLine;
    std::string shown;
    p.onPump = [&](int index) {
      FrmInstllation& w = run.app.Installation();
      if (index == s.cancelAtPump) w.cmdCanel.Click();
      if (w.lblErr.Caption() != shown)
        failureLine.push_back(w.lblFileName.Caption() + " / " + (shown = w.lblErr.Caption()));
    };
    EXPECT_EQ(run.Run(s.clicks), s.exitCode);
    EXPECT_EQ(p.boxes, s.boxes);
    EXPECT_EQ(failureLine, s.failureLine);
    EXPECT_EQ(p.pumps, s.pumps);
    EXPECT_EQ(run.backend.views == 0, silent) << "a silent run creates no window";
    EXPECT_EQ(p.files.size(), fileCount) << "a file was created";
    EXPECT_EQ(p.renamesAtRestart, s.renames);
    EXPECT_EQ(p.runOnce, s.runOnce);
    // Exactly the files that now hold their payload, or were put back, are
    // registered, each by the tool's full path and with the target quoted.
    std::set<std::string> expectedStarts;
    for (const auto& [path, file] : p.files) {
      if ((file.bytes.rfind("MZ new ", 0) == 0 && path.find("~tvl") == std::string::npos) ||
          std::count(p.events.begin(), p.events.end(), "putback " + path))
        expectedStarts.insert(s.systemDirectory + "\\regsvr32.exe|regsvr32.exe /s \"" + path +
                              "\"");
    }
    EXPECT_EQ(std::set<std::string>(p.starts.begin(), p.starts.end()), expectedStarts);
    EXPECT_EQ(p.starts.size(), std::size_t(s.registered));
    // Every file event lies in the system directory, file protection asked by
    // SysWOW64 under WoW64; without a system directory there is none.
    const auto& e = p.events;
    for (const std::string& event : e) {
      const std::size_t blank = event.find(' ');
      if (blank == std::string::npos || event.rfind("load ", 0) == 0) continue;
      const bool wow = event.rfind("protected? ", 0) == 0 && !s.wow64Directory.empty();
      const std::string& folder = wow ? s.wow64Directory : s.systemDirectory;
      EXPECT_TRUE(!folder.empty() && event.compare(blank + 1, folder.size(), folder) == 0) << event;
    }
    // Leftovers of killed runs go before the first component is looked at.
    const auto sweep = std::find(e.begin(), e.end(), "sweep " + s.systemDirectory);
    EXPECT_EQ(sweep == e.end(), s.pumps == 0 || s.systemDirectory.empty());
    EXPECT_TRUE(std::none_of(e.begin(), sweep, [](const std::string& event) {
      return event.rfind("presence ", 0) == 0;
    }));
    // Registration follows the write's close; a write confirmed in the replace
    // box gets one more pump between them.
    const bool ask = std::string(s.clicks).find("ask") != std::string::npos;
    for (std::size_t i = 2; i < e.size(); ++i) {
      if (e[i] != "start" || e[i - 1].rfind("putback ", 0) == 0) continue;
      EXPECT_EQ(e[i - 2].substr(0, 5) + e[i - 1].substr(0, 5), ask ? "closepump" : "pumpclose");
    }
    // The log ends with how the program ended; a registration still running
    // is waited for until the deadline, and not beyond it.
    ASSERT_FALSE(p.log.empty());
    auto line = p.log.begin();
    for (const std::string& expected : s.logged)
      EXPECT_NE(line = std::find(line, p.log.end(), expected), p.log.end()) << expected;
    const std::string exitCode = "exit code " + std::to_string(s.exitCode);
    EXPECT_EQ(p.log.back().substr(p.log.back().size() - exitCode.size()), exitCode) << p.log.back();
    const bool runsOn = std::any_of(s.registrationExits.begin(), s.registrationExits.end(),
                                    [](const auto& exit) { return !exit.second; });
    EXPECT_EQ(p.clock - clockAtStart, runsOn && s.exitCode != kExitCancelled ? 60000u : 0u);
    if (s.exitCode == kExitCancelled) continue;  // a kept file is left to the next run's sweep
    EXPECT_EQ(p.kept.size(), 0u);
    const FrmInstllation& w = run.app.Installation();
    EXPECT_EQ(w.lblFileName.Caption() + " " + std::to_string(w.ShpBar.Width()),
              "Copying wshom.ocx 4815");
    EXPECT_EQ(w.Visible(), !silent);
    // Install swapped the policy frame for the bar, without its outline.
    EXPECT_EQ(!w.Frame1.Visible() && w.shpBack.Visible() && w.ShpBar.Visible(), !silent);
    EXPECT_FALSE(w.ShpFrame.Visible());
  }
}

// The bar's width for a position out of a maximum, at its edges.
TEST(Progress, WidthAtTheEdgesOfRoundingAndRangeAndEveryCallRepaintsAllThree) {
  // Outline width; position, maximum; the bar's width before, after; position after.
  const std::tuple<int, std::int32_t, std::int32_t, int, int, std::int32_t, const char*> cases[] = {
      {4815, 1, 28, 15, 172, 1, "first of 28 entries"},
      {4813, 1, 2, 15, 2406, 1, "2406.5 goes down to even"},
      {4815, 1, 2, 15, 2408, 1, "2407.5 goes up to even"},
      {4815, 1, 30, 15, 161, 1, "160.5 in double precision, just above in 80-bit extended"},
      {4815, 28, 28, 15, 4815, 28, "full"},
      {4815, 40, 28, 15, 4815, 28, "past the maximum: full, and the caller's value lowered"},
      {4815, 0, 28, 1204, 0, 0, "empty"},
      {4815, 5, 0, 1204, 0, 0, "maximum 0: the step fails, width 0"},
      {4815, -1, 28, 1204, 1204, -1, "negative position: width kept"},
      {32767, 1, 1, 15, 32767, 1, "widest"},
      {65535, 1, 2, 1204, 0, 1, "32767.5 is out of range: width 0"},
      {65537, -1, 2, 1204, 1204, -1, "-32768.5 gives -32768, in range but negative: kept"},
      {65539, -1, 2, 1204, 0, -1, "-32769.5 is out of range: width 0"},
  };
  for (const auto& [full, curr, max, before, width, currAfter, why] : cases) {
    SCOPED_TRACE(why);
    Program run;
    FrmInstllation& w = run.app.Installation();
    w.Show();
    w.ShpFrame.SetWidth(full);
    w.ShpBar.SetWidth(before);
    std::int32_t currVal = curr, maxVal = max;
    w.Progress(w.ShpBar, w.ShpFrame, w.shpBack, currVal, maxVal);
    EXPECT_EQ(w.ShpBar.Width(), width);
    EXPECT_EQ(currVal, currAfter);
    EXPECT_EQ(run.backend.repaints, std::vector<std::string>({"shpBack", "ShpBar", "ShpFrame"}));
  }
}

// The version rule, one row per cell: what a present MSCOMCTL.OCX holds
// decides whether it is written, registered and asked about, and how it is
// logged. A run without a failure ends with 0 whatever it keeps.
struct VersionCase {
  const char* name;
  std::optional<std::uint64_t> installed, payload;  // none: without a version record
  std::string protectedIn, wow64;    // where Windows protects it; the redirected system directory
  FileProtection::Asked protection;  // whether Windows can be asked
  bool written, registered;
  int compared;                   // how often the bytes are compared: only without a version
  const char* logged;             // a line of the log, whole
  bool samePayloadBytes = false;  // the target holds the payload, byte for byte
};

constexpr std::uint64_t V(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
  return a << 48 | b << 32 | c << 16 | d;
}
constexpr std::uint64_t kPayload = V(6, 1, 95, 45);
const std::string kTarget = kSys + "\\MSCOMCTL.OCX";
constexpr auto kAsked = FileProtection::Asked::kAnswered;

// clang-format off
const VersionCase kVersionCases[] = {
    {"NewerIsKeptAndRegistered", V(6, 1, 98, 46), kPayload, "", "", kAsked, false, true, 0,
     "MSCOMCTL.OCX: kept, installed 6.1.98.46 is newer than 6.1.95.45"},
    {"NewerByTheLastWordIsKept", V(6, 1, 95, 46), kPayload, "", "", kAsked, false, true, 0,
     "MSCOMCTL.OCX: kept, installed 6.1.95.46 is newer than 6.1.95.45"},
    {"SameVersionIsKeptAndRegistered", kPayload, kPayload, "", "", kAsked, false, true, 0,
     "MSCOMCTL.OCX: kept, installed 6.1.95.45 is the same as 6.1.95.45"},
    {"VersionZeroIsAVersion", 0, 0, "", "", kAsked, false, true, 0,
     "MSCOMCTL.OCX: kept, installed 0.0.0.0 is the same as 0.0.0.0"},
    {"OlderIsWrittenAndRegistered", V(6, 1, 95, 44), kPayload, "", "", kAsked, true, true, 0,
     "MSCOMCTL.OCX: installed 6.1.95.44 is older than 6.1.95.45"},
    {"HighWordsDecideBeforeLowOnes", V(6, 0, 65535, 65535), kPayload, "", "", kAsked, true, true,
     0, "MSCOMCTL.OCX: installed 6.0.65535.65535 is older than 6.1.95.45"},
    {"UnversionedTargetIsWritten", std::nullopt, kPayload, "", "", kAsked, true, true, 1,
     "MSCOMCTL.OCX: written"},
    {"UnversionedPayloadIsWrittenOverANewerTarget", V(9, 0, 0, 0), std::nullopt, "", "", kAsked,
     true, true, 1, "MSCOMCTL.OCX: written"},
    {"UnversionedTargetWithThePayloadsBytesIsKeptUnaskedAndRegistered", std::nullopt,
     std::nullopt, "", "", kAsked, false, true, 1, "MSCOMCTL.OCX: kept, same bytes as the payload",
     true},
    {"ProtectedIsPassedOverUnregisteredEvenWhenOlder", V(1, 0, 0, 0), kPayload, kSys, "", kAsked,
     false, false, 0, "MSCOMCTL.OCX: passed over, protected by Windows (installed 1.0.0.0, "
     "payload 6.1.95.45)"},
    {"ProtectedUnderWow64IsAskedForByItsSysWow64Path", std::nullopt, std::nullopt, kWow, kWow,
     kAsked, false, false, 0, "MSCOMCTL.OCX: passed over, protected by Windows (installed "
     "without a version, payload without a version)", true},
    {"WithoutSfcNothingIsProtectedAndTheLogSaysSo", V(1, 0, 0, 0), kPayload, kSys, "",
     FileProtection::Asked::kNoLibrary, true, true, 0, "Windows cannot be asked which files it "
     "protects (no sfc.dll): none counts as protected"},
    {"SfcWithoutTheFunctionIsNamedAndNothingIsProtected", V(1, 0, 0, 0), kPayload, kSys, "",
     FileProtection::Asked::kNoFunction, true, true, 0, "Windows cannot be asked which files it "
     "protects (C:\\here\\sfc.dll has no SfcIsFileProtected): none counts as protected"},
};
// clang-format on

TEST(VersionRule, DecidesWhatIsWrittenRegisteredAndLogged) {
  for (const VersionCase& c : kVersionCases) {
    for (const bool ask : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (ask ? ", asking" : ", overwriting"));
      Program run;
      FakePlatform& p = run.p;
      p.wow64Directory = c.wow64;
      p.fileProtection = c.protection;
      if (!c.protectedIn.empty()) p.protectedFiles = {c.protectedIn + "\\MSCOMCTL.OCX"};
      run.Arrange("");
      const std::string payload = c.payload ? VersionedImage(*c.payload) : "MZ new MSCOMCTL.OCX";
      const std::string installed = c.samePayloadBytes ? payload
                                    : c.installed      ? VersionedImage(*c.installed)
                                                       : "MZ old";
      p.payloads["MSCOMCTL.OCX"] = payload;
      p.files[kTarget] = {installed};
      if (ask) p.answers = {kIdYes};
      EXPECT_EQ(run.Run(ask ? "next ask install" : kInstall), kExitSuccess);
      EXPECT_EQ(std::count(p.events.begin(), p.events.end(), "write " + kTarget), c.written);
      EXPECT_EQ(std::count(p.events.begin(), p.events.end(), "compare " + kTarget), c.compared);
      EXPECT_TRUE(p.files[kTarget].bytes == (c.written ? payload : installed));
      EXPECT_EQ(p.starts.size(), c.registered ? 1u : 0u);
      // Only what the rule writes is asked about; the finish box ends the run.
      std::vector<std::string> boxes = {kFinish};
      if (ask && c.written) boxes.insert(boxes.begin(), Replace("MSCOMCTL.OCX"));
      EXPECT_EQ(p.boxes, boxes);
      EXPECT_NE(std::find(p.log.begin(), p.log.end(), c.logged), p.log.end()) << c.logged;
      // Windows is asked once, by the path it knows the file by.
      const std::string asked =
          "protected? " + (c.wow64.empty() ? kSys : c.wow64) + "\\MSCOMCTL.OCX";
      EXPECT_EQ(std::count(p.events.begin(), p.events.end(), asked), 1) << asked;
    }
  }
}

TEST(WindowFlow, UnexpectedErrorsAndFaultsEndWithCodeThreeOneLineAndABoxOnlyWhenInteractive) {
  const auto fault = [](Platform& p) { p.ReportFault(0xC0000006, 0x0040A1B2); };
  const auto failure = [](Platform& p) { p.ReportUnexpectedError("disk on fire"); };
  const char* const faulted = "exception 0xC0000006 at 0x0040A1B2";
  const struct {
    const char *name, *tail;
    std::function<void(Platform&)> first, second;
    const char *during, *what;  // where the second strikes; the first's, reported alone
  } cases[] = {
      {"failure", "", failure, nullptr, "", "disk on fire"},
      {"silent failure", " /s", failure, nullptr, "", "disk on fire"},
      {"fault", "", fault, nullptr, "", faulted},
      {"silent fault", " /s", fault, nullptr, "", faulted},
      {"fault in the fault's box", "", fault,
       [](Platform& p) { p.ReportFault(0xC0000005, 0x7B60AF78); }, "box", faulted},
      {"fault in the fault's line", " /s", fault, fault, "line", faulted},
      {"failure in the fault's box", "", fault, failure, "box", faulted},
      {"fault in the failure's box", "", failure, fault, "box", "disk on fire"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform p;
    p.commandLine = std::string("setup.exe") + c.tail;
    p.PrepareFaultReport();
    // A second failure, once, while the report writes its line or shows its box.
    std::string during = c.during;
    p.onReport = [&](const std::string& where) {
      if (where != during) return;
      during.clear();
      c.second(p);
    };
    try {
      c.first(p);
      ADD_FAILURE() << "went on";
    } catch (const Ended& ended) {
      EXPECT_EQ(ended.code, 3);
    }
    EXPECT_EQ(p.log, std::vector<std::string>{std::string("Unexpected error: ") + c.what +
                                              ", exit code 3"});
    const std::string box =
        std::string("Tarnvel setup|An unexpected error ended the setup:\r\n") + c.what + "|0x10";
    EXPECT_EQ(p.boxes, *c.tail ? std::vector<std::string>{} : std::vector<std::string>{box});
  }
}

// A run no one can see (a service's window station, session 0 since Vista)
// and a second copy end before anything is touched or shown; /s never asks.
TEST(WindowFlow, UnseenRunsEndWith1639AndSecondCopiesWith1618HavingDoneNothing) {
  const std::optional<std::uint32_t> unread;
  // What the system tells, another copy running: the exit code without /s,
  // none where the welcome window waits for the user.
  const std::tuple<DisplayFacts, bool, std::optional<int>> cases[] = {
      {{1u, 1u, true}, false, {}},         {{0u, 1u, true}, false, 1639},
      {{1u, 0u, true}, false, 1639},       {{1u, 0u, false}, false, {}},
      {{unread, unread, true}, false, {}}, {{1u, 1u, true}, true, 1618},
      {{0u, 1u, true}, true, 1639}};
  for (const auto& [display, otherCopy, unsilent] : cases) {
    for (const std::string tail : {"", " /S", " /s"}) {
      Program run;
      run.p.commandLine = "setup.exe" + tail;
      run.p.display = display;
      run.p.otherSetupRunning = otherCopy;
      run.Arrange("MSCAL.OCX");
      const std::optional<int> code = tail != " /s" ? unsilent : otherCopy ? 1618 : 0;
      SCOPED_TRACE(tail + " ending with " + std::to_string(code.value_or(-1)));
      EXPECT_EQ(run.Run(""), code);
      EXPECT_EQ(run.app.Welcome().Visible(), !code);
      if (code.value_or(0) == 0) continue;
      EXPECT_EQ(run.p.events, std::vector<std::string>(code == 1618, "lock"));
      EXPECT_EQ(run.backend.views, 0);
      EXPECT_EQ(run.p.boxes,
                std::vector<std::string>(code == 1618 && tail != " /s",
                                         "Tarnvel Vivi-Installation Setup|Setup is already "
                                         "running.|0x30"));
      EXPECT_EQ(run.p.log.back(),
                code == 1618
                    ? "Another copy of the setup is running: nothing done, exit code 1618"
                    : "No visible desktop (a service, or a task run with no user logged on): "
                      "nothing done; run setup.exe /s to install without windows, exit code 1639");
    }
  }
}

// Every outcome a component can have, each in the log with its reason.
TEST(RunLog, NamesEachComponentsOutcomeAndEachRegistrationsExitCode) {
  Program run;
  FakePlatform& p = run.p;
  run.Arrange(
      "agentctl.dll asycfilt.dll COMCAT.DLL:hs COMCT232.OCX COMCTL32.OCX Flash.ocx "
      "MCI32.OCX MSCAL.OCX");
  p.payloads.erase("ASYCFILT.DLL");
  p.failWrite = {kSys + "\\COMCTL32.OCX"};
  p.exitCodes = {{"agentctl.dll", 5},
                 {"COMCT232.OCX", 0xC0000005},
                 {"Flash.ocx", std::nullopt},
                 {"MSCAL.OCX", 4}};
  p.leftovers = {kSys + "\\~tvl1a_2.tmp"};
  p.answers = {kIdYes, kIdYes, kIdYes, kIdYes, kIdYes, kIdNo, kIdYes};
  EXPECT_EQ(run.Run("next ask install"), kExitFailures);
  std::vector<std::string> lines = p.log;
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.find(": absent") != l.npos; }),
              lines.end());
  // clang-format off
  const std::vector<std::string> expected = {
      "Tarnvel setup 1.2.3.4, command tail \"\": interactive run",
      "Install: ask before each overwrite; system directory \"C:\\WINDOWS\\system32\"",
      "Deleted a killed run's leftover C:\\WINDOWS\\system32\\~tvl1a_2.tmp",
      "agentctl.dll: asked, answered Yes", "agentctl.dll: written",
      "agentctl.dll: registration started, process 104", "asycfilt.dll: asked, answered Yes",
      "asycfilt.dll: failed at load and check, error 1813 (text of 1813)",
      "COMCAT.DLL: passed over (hidden, system)", "COMCT232.OCX: asked, answered Yes",
      "COMCT232.OCX: written", "COMCT232.OCX: registration started, process 108",
      "COMCTL32.OCX: asked, answered Yes",
      "COMCTL32.OCX: failed at write and flush, error 112 (text of 112)",
      "Flash.ocx: asked, answered Yes", "Flash.ocx: written",
      "Flash.ocx: registration started, process 112", "MCI32.OCX: asked, answered No",
      "MSCAL.OCX: asked, answered Yes", "MSCAL.OCX: written",
      "MSCAL.OCX: registration started, process 116", "Waiting for 4 registrations, 60 s at most",
      "agentctl.dll: registration exit code 5, failed",
      "agentctl.dll: registration failed, old file put back",
      "agentctl.dll (old file): registration started, process 120",
      "COMCT232.OCX: registration exit code 0xC0000005, failed",
      "COMCT232.OCX: registration failed, old file put back",
      "COMCT232.OCX (old file): registration started, process 124",
      "MSCAL.OCX: registration exit code 4, not self-registering, nothing to register",
      "agentctl.dll (old file): registration exit code 0, registered",
      "COMCT232.OCX (old file): registration exit code 0, registered",
      "Flash.ocx: registration still running at the deadline, failed (left running)",
      "End: 2 copies failed, 3 registrations failed, exit code 1"};
  // clang-format on
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(p.log.size() - lines.size(), kManifest.size() - 8) << "one line per absent component";
  EXPECT_EQ(p.kept.size(), 0u) << "an old file left beside, the failed write's included";
}

// A written component's old file, kept beside it until its registration has
// ended: deleted once that registered, put back and registered again when it
// failed, put back at the restart when a program loaded the new file by then.
struct PutBackCase {
  std::vector<std::optional<std::uint32_t>> exits;  // MSINET.OCX's registration; none: runs on
  // "": put back; "in use": the new file loaded, refused; "refused": that, and the restart's
  // rename refused; "unkept": no old file kept; "same": the payload's bytes there, kept so.
  std::vector<std::string> putBacks;
  bool oldBack;  // MSINET.OCX holds its old file at the end, registered again
  int exitCode;
  std::vector<std::string> logged;         // lines the log holds, in this order
  bool queued = false;                     // the old file is put back at the restart
  std::optional<std::uint32_t> again = 0;  // the old file's registration
};

const std::string kInet = kSys + "\\MSINET.OCX";
const std::string kPutBack = "MSINET.OCX: registration failed, old file put back";
const std::string kAgain = "MSINET.OCX (old file): registration ";
const std::string kInUseBack =
    kPutBack + " at the next restart, the new file in use (error 32, text of 32)";
const std::string kEnd0 = "End: 0 copies failed, 0 registrations failed, exit code 0";
const std::string kEnd1 = "End: 0 copies failed, 1 registration failed, exit code 1";
const std::vector<std::optional<std::uint32_t>> kFailing = {3, 5, 0xC0000005};

// clang-format off
const PutBackCase kPutBackCases[] = {
    {{0, 4}, {"", "in use", "same"}, false, kExitSuccess, {kEnd0}},
    {{0, 4}, {"unkept"}, false, kExitSuccess, {"MSINET.OCX (old file): failed at keeping it "
     "beside the new file, error 50 (text of 50)", "MSINET.OCX: written", kEnd0}},
    {kFailing, {""}, true, kExitFailures, {kPutBack, kAgain + "started, process 108", kAgain +
     "exit code 0, registered", kEnd1}},
    {kFailing, {"in use"}, false, kExitFailures, {kInUseBack, "MSINET.OCX: rename queued for the "
     "restart, " + kSys + "\\~tvl2_0.tmp over " + kInet, "MSINET.OCX: registration queued for "
     "the first administrator's logon after the restart, " + Command(kSys, "MSINET.OCX"), kEnd1},
     true},
    {kFailing, {"unkept", "same"}, false, kExitFailures, {kEnd1}},
    {{std::nullopt}, {"", "in use"}, false, kExitFailures, {"MSINET.OCX: registration still "
     "running at the deadline, failed (left running)", kEnd1}},
    {{5}, {"refused"}, false, kExitFailures, {kInUseBack, "MSINET.OCX (old file): failed at "
     "queueing the rename for the restart, error 5 (text of 5)", kEnd1}},
    // The old file's own registration counts no second failure.
    {{5}, {""}, true, kExitFailures, {kPutBack, kAgain + "exit code 5, failed", kEnd1}, false, 5},
    {{5}, {""}, true, kExitFailures, {kPutBack, kAgain + "still running at the deadline, failed "
     "(left running)", kEnd1}, false, std::nullopt},
};
// clang-format on

TEST(InstallRun, FailedRegistrationPutsTheOldFileBackAndRegistersItAgain) {
  for (const PutBackCase& c : kPutBackCases) {
    for (const std::optional<std::uint32_t> exit : c.exits) {
      for (const std::string& putBack : c.putBacks) {
        SCOPED_TRACE((exit ? std::to_string(*exit) : "running") + ", put back " + putBack);
        Program run;
        FakePlatform& p = run.p;
        p.commandLine = "setup.exe /s";
        run.Arrange("MSINET.OCX");
        if (putBack == "same") p.files[kInet].bytes = p.payloads["MSINET.OCX"];
        p.exitCodes = {{"MSINET.OCX", exit}};
        p.exitCodesAgain = {{"MSINET.OCX", c.again}};
        if (putBack == "unkept") p.unkeepable = {kInet};
        if (putBack == "in use" || putBack == "refused") p.loaded = {kInet};
        if (putBack == "refused") p.restartRefused = OutputStep::kQueueRename;
        EXPECT_EQ(run.Run(""), c.exitCode);
        EXPECT_EQ(p.starts.size(), c.oldBack ? 2u : 1u);
        EXPECT_EQ(p.files[kInet].bytes, c.oldBack ? "MZ old MSINET.OCX" : "MZ new MSINET.OCX");
        // Only a file queued for the restart stays beside, for the restart to consume.
        EXPECT_EQ(p.kept.size() + p.renamesAtRestart.size() + p.runOnce.size(), c.queued ? 3u : 0u);
        auto line = p.log.begin();
        for (const std::string& expected : c.logged)
          EXPECT_NE(line = std::find(line, p.log.end(), expected), p.log.end()) << expected;
        for (const std::string& l : p.log) {  // nothing else is put back
          if (l.find("put back") == std::string::npos) continue;
          EXPECT_NE(std::find(c.logged.begin(), c.logged.end(), l), c.logged.end()) << l;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarnvel::test
