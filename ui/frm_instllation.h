// The installation window: the overwrite policy, the progress bar, the file
// being copied and the failure line. It also owns the install run's state
// and methods.
#pragma once

#include <cstdint>
#include <string>

#include "app/platform.h"
#include "install/registrations.h"
#include "install/replace_rule.h"
#include "install/save_res_to_disk.h"
#include "ui/toolkit.h"

namespace tarnvel {

class FrmWelcome;

class FrmInstllation : public ui::Form {
 public:
  FrmInstllation(Platform& platform, FrmWelcome& welcome);

  // The window's controls, one member each; stacking order is set beside
  // them, in the constructor.
  ui::Frame Frame1;
  ui::OptionButton OptOverWrite;
  ui::OptionButton OptAsk;
  ui::Button cmdInstall;
  ui::Button cmdCanel;
  ui::ListBox lstInsFiles;  // the component manifest; never shown
  ui::Label lblBanner;
  ui::Label lblFileName;
  ui::Label lblErr;
  ui::Picture Image1;
  ui::Shape Shape3;
  ui::Shape Shape1[1];
  ui::Shape Shape2;
  ui::Shape shpBack;
  ui::Shape ShpBar;
  ui::Shape ShpFrame;

  // The install run's state.
  std::string SysDirPath;
  // The same folder by the path Windows knows it by: SysWOW64 for a 32-bit
  // program on 64-bit Windows, where SysDirPath is redirected there.
  std::string SysDirTruePath;
  std::int16_t FileCount = 0;
  std::int16_t ErrCount = 0;
  std::int16_t RestartCount = 0;  // components in use, queued for the next restart

  // Load handler, also called directly by the silent start-up.
  void Form_Load();
  void SystemDir();
  // Walks the manifest and ends the program; does not return.
  [[noreturn]] void InstallNow();
  SaveOutcome SaveResToDisk(std::int16_t ResNum, const std::string& ResType,
                            const std::string& DestFileName, std::string* Kept = nullptr);
  void PGVisible(ui::Shape& Bar, ui::Shape& Frame, ui::Shape& Back, std::int16_t Optn);
  void Progress(ui::Shape& Bar, ui::Shape& Frame, ui::Shape& Back, std::int32_t& CurrVal,
                std::int32_t& MaxVal);

  void cmdInstall_Click();
  // Cancel handler: asks, ends the program on Yes, returns on No.
  void cmdCanel_Click();

  // The window offers no close box; a close command that reaches it by other
  // means is what a user expects of Cancel.
  void OnCloseCommand() override { cmdCanel_Click(); }

 protected:
  void OnLoad() override { Form_Load(); }

 private:
  // One present target: what is there, and what the run does with it;
  // writing it, asked or not by the policy, then registering it.
  TargetOutcome LookAtTarget(const std::string& name, const std::string& target,
                             TargetFound& found);
  void WriteTarget(const std::string& name, const std::string& target);
  // Writes and registers it, or queues both for the restart when it is in
  // use; `pumpBeforeRegistering` after a confirmation box.
  void PlaceTarget(const std::string& name, const std::string& target, bool pumpBeforeRegistering);

  Platform& platform_;
  FrmWelcome& welcome_;
  bool fileProtectionMissing_ = false;  // said once in the log
  bool runActive_ = false;
  Registrations registrations_;
};

}  // namespace tarnvel
