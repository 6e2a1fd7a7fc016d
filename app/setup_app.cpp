#include "app/setup_app.h"

#include "app/cancel_confirmation.h"
#include "app/command_tail.h"
#include "install/run_log.h"

namespace tarnvel {

namespace {

// A fact that cannot be read counts as someone being there: the run goes on.
bool SomeoneCanSee(const DisplayFacts& display) {
  if (display.stationFlags && (*display.stationFlags & kWindowStationVisible) == 0) return false;
  return !(display.vistaOrLater && display.sessionId == 0u);
}

}  // namespace

SetupApp::SetupApp(Platform& platform) : platform_(platform) {
  welcome_.onLoad = [this] { Welcome_Load(); };
  welcome_.onUnload = [this](std::int16_t& cancel) { Welcome_Unload(cancel); };
  welcome_.cmdNext.onClick = [this] { cmdNext_Click(); };
  welcome_.cmdCanel.onClick = [this] { welcome_.Unload(); };
}

FrmInstllation& SetupApp::Installation() {
  if (!installation_) installation_ = std::make_unique<FrmInstllation>(platform_, welcome_);
  return *installation_;
}

void SetupApp::Start() { welcome_.Load(); }

void SetupApp::Welcome_Load() {
  const std::string tail = platform_.CommandTail();
  platform_.Log(log_line::Started(platform_.ProgramVersion(), tail, tail == kSilentTail));
  // A service, or a task run with no one logged on: a window there would wait
  // for an answer forever, and the lock's own box too.
  if (tail != kSilentTail && !SomeoneCanSee(platform_.Display())) {
    platform_.Log(log_line::NoVisibleDesktop());
    platform_.EndProgram(kExitNoVisibleDesktop);
  }
  // Before anything is shown or touched: a second copy would see the first
  // one's files as in use.
  if (!platform_.TakeSetupLock()) {
    platform_.Log(log_line::AnotherSetupRunning());
    if (tail != kSilentTail) {
      platform_.ShowMessageBox("Setup is already running.", "Tarnvel Vivi-Installation Setup",
                               kMbOk | kMbIconExclamation);
    }
    platform_.EndProgram(kExitAnotherSetupRunning);
  }
  if (tail != kSilentTail) {
    welcome_.Show();
    return;
  }
  // Silent run: the installation window is loaded but never shown, and the
  // run ends the program.
  FrmInstllation& installation = Installation();
  installation.Load();
  installation.Form_Load();
  installation.InstallNow();
}

void SetupApp::cmdNext_Click() {
  Installation().Show();  // loads it first: it takes the welcome window's place
  welcome_.Hide();
}

void SetupApp::Welcome_Unload(std::int16_t& cancel) {
  if (ConfirmCancel(platform_) != kIdYes) cancel = 1;
}

}  // namespace tarnvel
