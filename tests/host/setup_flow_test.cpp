// The whole program on the host: start-up, both windows' handlers and the
// install run, against the scripted platform.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "fake_platform.h"
#include "install/manifest.h"

namespace tarnvel {
namespace {

const char* const kSysDir = "C:\\WINDOWS\\system32";

std::string Target(const std::string& name) { return std::string(kSysDir) + "\\" + name; }

std::string ReplacePrompt(const std::string& name) {
  return "The file\"" + name + "\" already exist.\r\nDo you want to replace it?";
}

class SetupFlowTest : public ::testing::Test {
 protected:
  SetupFlowTest() {
    for (const Component& c : kManifest) {
      p.payloads[Upper(c.name)] = FakePlatform::Bytes(std::string("new ") + c.name);
    }
  }

  static std::string Upper(std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
  }

  void Present(const std::string& name) {
    p.files[Target(name)].bytes = FakePlatform::Bytes("old " + name);
  }
  void PresentAll() {
    for (const Component& c : kManifest) Present(c.name);
  }
  bool Replaced(const std::string& name) {
    return p.files[Target(name)].bytes == FakePlatform::Bytes(std::string("new ") + name);
  }

  // Runs `step` and returns the exit code when it ends the program.
  template <typename Step>
  std::optional<int> Until(Step step) {
    try {
      step();
    } catch (const FakePlatform::ProgramEnded& ended) {
      return ended.exitCode;
    }
    return std::nullopt;
  }

  std::optional<int> StartAndInstall(bool askFirst = false) {
    return Until([&] {
      app.Start();
      app.Welcome().cmdNext.Click();
      if (askFirst) app.Installation().OptAsk.Click();
      app.Installation().cmdInstall.Click();
    });
  }

  // Records the two text lines at every pump.
  void WatchLines() {
    for (int i = 0; i < 400; ++i) {
      p.pumpActions[i] = [this] {
        if (!app.InstallationCreated()) return;
        lines.push_back(app.Installation().lblFileName.Caption() + "|" +
                        app.Installation().lblErr.Caption());
      };
    }
  }

  FakePlatform p;
  SetupApp app{p};
  std::vector<std::string> lines;
};

// ---- Start-up and run modes

struct TailCase {
  const char* commandLine;
  bool silent;
};

void PrintTo(const TailCase& c, std::ostream* os) { *os << '\'' << c.commandLine << '\''; }

class RunModeTest : public SetupFlowTest, public ::testing::WithParamInterface<TailCase> {};

TEST_P(RunModeTest, OnlyTheExactSilentTailRunsWithoutAWindow) {
  p.commandLine = GetParam().commandLine;
  const auto code = Until([&] { app.Start(); });
  if (GetParam().silent) {
    EXPECT_EQ(code, kExitSuccess);
    EXPECT_FALSE(app.Welcome().Visible());
    EXPECT_FALSE(app.Installation().Visible());
    EXPECT_TRUE(p.boxes.empty());
  } else {
    EXPECT_FALSE(code.has_value());
    EXPECT_TRUE(app.Welcome().Visible());
    EXPECT_FALSE(app.InstallationCreated());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tails, RunModeTest,
    ::testing::Values(TailCase{"setup.exe /s", true}, TailCase{"setup.exe      /s", true},
                      TailCase{"\"C:\\My Setup\\setup.exe\"   /s", true},
                      TailCase{"setup.exe /S", false}, TailCase{"setup.exe /s ", false},
                      TailCase{"setup.exe /x", false}, TailCase{"setup.exe", false},
                      TailCase{"setup.exe /silent", false}));

struct FinishCase {
  const char* commandLine;
  bool finishMessage;
};

void PrintTo(const FinishCase& c, std::ostream* os) { *os << '\'' << c.commandLine << '\''; }

class FinishMessageTest : public SetupFlowTest, public ::testing::WithParamInterface<FinishCase> {};

TEST_P(FinishMessageTest, OnlyAnEmptyTailEndsACleanRunWithTheFinishMessage) {
  p.commandLine = GetParam().commandLine;
  EXPECT_EQ(StartAndInstall(), kExitSuccess);
  const bool shown = !p.boxes.empty() && p.boxes.back().title == "Installation Finish";
  EXPECT_EQ(shown, GetParam().finishMessage);
  if (shown) {
    EXPECT_EQ(p.boxes.back().prompt, "Installed sucessfully.");
    EXPECT_EQ(p.boxes.back().flags, 0x40u);
  }
}

INSTANTIATE_TEST_SUITE_P(Tails, FinishMessageTest,
                         ::testing::Values(FinishCase{"setup.exe", true},
                                           FinishCase{"setup.exe   ", true},
                                           FinishCase{"setup.exe /x", false},
                                           FinishCase{"setup.exe /S", false},
                                           FinishCase{"setup.exe /s ", false}));

// ---- Install run

TEST_F(SetupFlowTest, NoTargetPresentWritesAndRegistersNothingYetFillsTheBar) {
  EXPECT_EQ(StartAndInstall(), kExitSuccess);
  FrmInstllation& w = app.Installation();
  EXPECT_TRUE(p.files.empty());
  EXPECT_TRUE(p.processStarts.empty());
  EXPECT_EQ(w.ShpBar.Width(), 4815);
  EXPECT_EQ(w.lblFileName.Caption(), "Copying wshom.ocx");
  EXPECT_EQ(w.lblErr.Caption(), "");
  ASSERT_EQ(p.boxes.size(), 1u);
  EXPECT_EQ(p.boxes[0].title, "Installation Finish");
}

TEST_F(SetupFlowTest, SilentRunOverwritesAndRegistersEveryPresentTargetAndCountsAFailure) {
  PresentAll();
  p.files[Target("MSCAL.OCX")].locked = true;
  p.files[Target("COMCAT.DLL")].readOnly = true;
  p.files[Target("Flash.ocx")].hidden = true;  // hidden: counts as absent
  p.commandLine = "setup.exe /s";

  EXPECT_EQ(Until([&] { app.Start(); }), kExitFailures);

  EXPECT_TRUE(p.boxes.empty());
  EXPECT_TRUE(Replaced("COMCAT.DLL"));
  EXPECT_FALSE(p.files[Target("COMCAT.DLL")].readOnly);
  EXPECT_FALSE(Replaced("MSCAL.OCX"));
  EXPECT_FALSE(Replaced("Flash.ocx"));
  EXPECT_EQ(app.Installation().ErrCount, 1);
  EXPECT_EQ(app.Installation().lblErr.Caption(), "Unable to copy 1 files.");

  ASSERT_EQ(p.processStarts.size(), 26u);
  for (const auto& start : p.processStarts) {
    EXPECT_EQ(start.image, std::string(kSysDir) + "\\regsvr32.exe");
    EXPECT_EQ(start.workingDirectory, kSysDir);
    EXPECT_EQ(start.commandLine.find("MSCAL.OCX"), std::string::npos);
  }
  EXPECT_EQ(p.processStarts[0].commandLine,
            "regsvr32.exe /s \"C:\\WINDOWS\\system32\\agentctl.dll\"");
}

TEST_F(SetupFlowTest, AskModeAsksOncePerPresentTargetInManifestOrderAndNoLeavesAll) {
  PresentAll();
  for (std::size_t i = 0; i < kManifest.size(); ++i) p.answers.push_back(kIdNo);

  EXPECT_EQ(StartAndInstall(/*askFirst=*/true), kExitSuccess);

  ASSERT_EQ(p.boxes.size(), kManifest.size() + 1);
  for (std::size_t i = 0; i < kManifest.size(); ++i) {
    EXPECT_EQ(p.boxes[i].title, "Confirm File Replace");
    EXPECT_EQ(p.boxes[i].prompt, ReplacePrompt(kManifest[i].name));
    EXPECT_EQ(p.boxes[i].flags, 0x33u);
  }
  EXPECT_EQ(p.boxes.back().prompt, "Installed sucessfully.");
  for (const Component& c : kManifest) EXPECT_FALSE(Replaced(c.name)) << c.name;
  EXPECT_TRUE(p.processStarts.empty());
}

TEST_F(SetupFlowTest, YesInTheReplaceBoxWritesPumpsOnceAndRegisters) {
  Present("MSCOMCTL.OCX");
  p.answers = {kIdYes};
  EXPECT_EQ(StartAndInstall(true), kExitSuccess);
  EXPECT_TRUE(Replaced("MSCOMCTL.OCX"));
  ASSERT_EQ(p.processStarts.size(), 1u);
  // write, the extraction's second pump, the extra pump after Yes, then registration
  const auto& e = p.events;
  const auto write = std::find(e.begin(), e.end(), "write " + Target("MSCOMCTL.OCX"));
  ASSERT_NE(write, e.end());
  EXPECT_EQ(std::vector<std::string>(write, write + 5),
            (std::vector<std::string>{"write " + Target("MSCOMCTL.OCX"), "pump",
                                      "close " + Target("MSCOMCTL.OCX"), "pump",
                                      "start regsvr32.exe /s \"" + Target("MSCOMCTL.OCX") + "\""}));
}

TEST_F(SetupFlowTest, CancelInTheReplaceBoxThenNoSkipsThatComponentAndGoesOn) {
  Present("COMCT232.OCX");
  Present("MSINET.OCX");
  p.answers = {kIdCancel, kIdNo, kIdYes};
  EXPECT_EQ(StartAndInstall(true), kExitSuccess);
  ASSERT_GE(p.boxes.size(), 3u);
  EXPECT_EQ(p.boxes[1].title, "Are you Sure?");
  EXPECT_FALSE(Replaced("COMCT232.OCX"));
  EXPECT_TRUE(Replaced("MSINET.OCX"));
  EXPECT_EQ(app.Installation().ShpBar.Width(), 4815);
}

TEST_F(SetupFlowTest, CancelInTheReplaceBoxThenYesEndsWithCancelledCode) {
  Present("COMCT232.OCX");
  Present("MSINET.OCX");
  p.answers = {kIdCancel, kIdYes};
  EXPECT_EQ(StartAndInstall(true), kExitCancelled);
  EXPECT_FALSE(Replaced("MSINET.OCX"));
}

TEST_F(SetupFlowTest, AFailureAtEntryFiveShowsTheFailureLineFromThereOnAndNoFinish) {
  PresentAll();
  p.failWriteFor.insert(Target(kManifest[4].name));
  WatchLines();
  EXPECT_EQ(StartAndInstall(), kExitFailures);

  // The pump of step 9 shows entry k's lines; find each entry's last record.
  std::vector<std::string> perEntry;
  for (const Component& c : kManifest) {
    std::string last;
    for (const auto& line : lines) {
      if (line.rfind(std::string("Copying ") + c.name + "|", 0) == 0) last = line;
    }
    perEntry.push_back(last.substr(last.find('|') + 1));
  }
  for (std::size_t i = 0; i < perEntry.size(); ++i) {
    EXPECT_EQ(perEntry[i], i < 4 ? "" : "Unable to copy 1 files.") << "entry " << i + 1;
  }
  for (const auto& box : p.boxes) EXPECT_NE(box.title, "Installation Finish");
  EXPECT_EQ(p.processStarts.size(), 27u);
}

TEST_F(SetupFlowTest, CancelClickedDuringAPumpAnsweredNoLetsTheRunGoOn) {
  PresentAll();
  p.pumpActions[10] = [this] { app.Installation().cmdCanel.Click(); };
  p.answers = {kIdNo};
  EXPECT_EQ(StartAndInstall(), kExitSuccess);
  EXPECT_EQ(p.boxes.front().title, "Are you Sure?");
  EXPECT_EQ(p.boxes.front().prompt, "Are you sure. You want to cancel setup?");
  EXPECT_EQ(p.boxes.front().flags, 0x34u);
  for (const Component& c : kManifest) EXPECT_TRUE(Replaced(c.name)) << c.name;
}

TEST_F(SetupFlowTest, CancelClickedDuringAPumpAnsweredYesEndsMidRun) {
  PresentAll();
  p.pumpActions[10] = [this] { app.Installation().cmdCanel.Click(); };
  p.answers = {kIdYes};
  EXPECT_EQ(StartAndInstall(), kExitCancelled);
  EXPECT_TRUE(Replaced(kManifest[0].name));
  EXPECT_FALSE(Replaced(kManifest.back().name));
}

TEST_F(SetupFlowTest, CancelDuringTheExtractionsFirstPumpLeavesTheTargetAsItWas) {
  Present("MSCOMCTL.OCX");
  p.answers = {kIdYes};
  // Pumps before it: 11 entries x 2 + the first pump of entry 12.
  p.pumpActions[23] = [this] { app.Installation().cmdCanel.Click(); };
  EXPECT_EQ(StartAndInstall(), kExitCancelled);
  EXPECT_FALSE(Replaced("MSCOMCTL.OCX"));
  EXPECT_TRUE(p.outputAbandonedAtEnd);
}

TEST_F(SetupFlowTest, InstallClickedAgainDuringARunIsIgnored) {
  PresentAll();
  p.pumpActions[5] = [this] { app.Installation().cmdInstall.Click(); };
  EXPECT_EQ(StartAndInstall(), kExitSuccess);
  EXPECT_EQ(p.processStarts.size(), kManifest.size());
  EXPECT_EQ(p.boxes.size(), 1u);  // one finish message, from one run
}

TEST_F(SetupFlowTest, WithoutASystemDirectoryNothingCountsAsPresent) {
  p.systemDirectoryFails = true;
  p.files["\\agentctl.dll"].bytes = FakePlatform::Bytes("root file");
  EXPECT_EQ(StartAndInstall(), kExitSuccess);
  EXPECT_EQ(app.Installation().SysDirPath, "");
  EXPECT_EQ(p.files["\\agentctl.dll"].bytes, FakePlatform::Bytes("root file"));
  EXPECT_TRUE(p.processStarts.empty());
}

TEST_F(SetupFlowTest, ALongSystemDirectoryIsNotCut) {
  p.systemDirectory = "C:\\" + std::string(300, 'd');
  app.Start();
  app.Welcome().cmdNext.Click();
  EXPECT_EQ(app.Installation().SysDirPath, p.systemDirectory);
}

// ---- Window flow

TEST_F(SetupFlowTest, NextShowsTheInstallationWindowInTheWelcomeWindowsPlace) {
  app.Start();
  app.Welcome().SetLeft(3000);  // the user moved it
  app.Welcome().cmdNext.Click();
  FrmInstllation& w = app.Installation();
  EXPECT_TRUE(w.Visible());
  EXPECT_FALSE(app.Welcome().Visible());
  EXPECT_EQ(w.Left(), 3000);
  EXPECT_EQ(w.Top(), app.Welcome().Top());
  EXPECT_EQ(w.Width(), app.Welcome().Width());
  EXPECT_EQ(w.Height(), app.Welcome().Height());
  EXPECT_EQ(w.FileCount, 28);
  EXPECT_EQ(w.SysDirPath, kSysDir);
  EXPECT_TRUE(w.Frame1.Visible());
  EXPECT_TRUE(w.OptOverWrite.Value());
  EXPECT_FALSE(w.OptAsk.Value());
  for (ui::Shape* s : {&w.shpBack, &w.ShpBar, &w.ShpFrame}) EXPECT_FALSE(s->Visible());
  EXPECT_EQ(w.lblFileName.Caption(), "");
  EXPECT_EQ(w.lblErr.Caption(), "");
  EXPECT_FALSE(w.lstInsFiles.Visible());
}

TEST_F(SetupFlowTest, InstallHidesThePolicyFrameAndShowsTheBarButNotItsOutline) {
  const auto code = StartAndInstall();
  EXPECT_EQ(code, kExitSuccess);
  FrmInstllation& w = app.Installation();
  EXPECT_FALSE(w.Frame1.Visible());
  EXPECT_TRUE(w.shpBack.Visible());
  EXPECT_TRUE(w.ShpBar.Visible());
  EXPECT_FALSE(w.ShpFrame.Visible());
  EXPECT_FALSE(w.lstInsFiles.Visible());
}

TEST_F(SetupFlowTest, FormLoadIsIdempotent) {
  app.Start();
  app.Welcome().cmdNext.Click();
  FrmInstllation& w = app.Installation();
  const auto before =
      std::make_tuple(w.FileCount, w.SysDirPath, w.Left(), w.Top(), w.Width(), w.Height());
  w.Form_Load();
  w.Form_Load();
  EXPECT_EQ(before,
            std::make_tuple(w.FileCount, w.SysDirPath, w.Left(), w.Top(), w.Width(), w.Height()));
}

struct CloseCase {
  const char* how;
  int answer;
};

void PrintTo(const CloseCase& c, std::ostream* os) {
  *os << c.how << (c.answer == kIdYes ? " Yes" : " No");
}

class WelcomeCancelTest : public SetupFlowTest, public ::testing::WithParamInterface<CloseCase> {
 protected:
  void Abandon() {
    if (std::string(GetParam().how) == "CloseBox")
      app.Welcome().OnCloseCommand();
    else
      app.Welcome().cmdCanel.Click();
  }
};

TEST_P(WelcomeCancelTest, AsksFirstThenEndsOnYesOrStaysOnNo) {
  app.Start();
  p.answers = {GetParam().answer};
  const auto code = Until([&] { Abandon(); });
  ASSERT_EQ(p.boxes.size(), 1u);
  EXPECT_EQ(p.boxes[0].title, "Are you Sure?");
  if (GetParam().answer == kIdYes) {
    EXPECT_EQ(code, kExitCancelled);
  } else {
    EXPECT_FALSE(code.has_value());
    EXPECT_TRUE(app.Welcome().Visible());
    EXPECT_FALSE(app.Welcome().Unloaded());
    app.Welcome().cmdNext.Click();  // Next still works
    EXPECT_TRUE(app.Installation().Visible());
  }
}

INSTANTIATE_TEST_SUITE_P(Ways, WelcomeCancelTest,
                         ::testing::Values(CloseCase{"CloseBox", kIdYes},
                                           CloseCase{"CloseBox", kIdNo},
                                           CloseCase{"Cancel", kIdYes},
                                           CloseCase{"Cancel", kIdNo}));

TEST_F(SetupFlowTest, CancelBeforeInstallAnsweredNoChangesNothing) {
  app.Start();
  app.Welcome().cmdNext.Click();
  FrmInstllation& w = app.Installation();
  w.OptAsk.Click();
  p.answers = {kIdNo, kIdNo};
  w.cmdCanel.Click();
  w.OnCloseCommand();  // a close command that reaches it is Cancel too
  EXPECT_EQ(p.boxes.size(), 2u);
  EXPECT_TRUE(w.Frame1.Visible());
  EXPECT_TRUE(w.OptAsk.Value());
  EXPECT_FALSE(w.OptOverWrite.Value());
}

}  // namespace
}  // namespace tarnvel
