// Start-up, run modes and the flow between the two windows.
#pragma once

#include <memory>

#include "app/platform.h"
#include "ui/frm_instllation.h"
#include "ui/frm_welcome.h"

namespace tarnvel {

class SetupApp {
 public:
  explicit SetupApp(Platform& platform);

  // Creates and loads the welcome window; its load handler picks the run.
  void Start();

  FrmWelcome& Welcome() { return welcome_; }
  // Created on first use and kept until the program ends.
  FrmInstllation& Installation();

 private:
  void Welcome_Load();
  void cmdNext_Click();
  void Welcome_Unload(std::int16_t& cancel);

  Platform& platform_;
  FrmWelcome welcome_;
  std::unique_ptr<FrmInstllation> installation_;
};

}  // namespace tarnvel
