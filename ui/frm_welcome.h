// The welcome window: the program's first window and its start-up object.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/toolkit.h"

namespace tarnvel {

class FrmWelcome : public ui::Form {
 public:
  FrmWelcome();

  // The window's controls, one member each; stacking order is set beside
  // them, in the constructor.
  ui::Button cmdNext;
  ui::Button cmdCanel;
  ui::Label lblDisp;
  ui::Label Label1;
  ui::Label Label2;
  ui::Label Label3;
  ui::Picture imgDisp[2];
  ui::Shape Shape1[2];
  ui::Shape Shape2;

  // Handlers, connected by the window flow.
  std::function<void()> onLoad;
  // Raised before the window unloads; a non-zero cancel flag keeps it.
  std::function<void(std::int16_t& cancel)> onUnload;

  // Unloads the window unless its unload handler cancels.
  void Unload();

  // The frame's close box unloads the window, asking first.
  void OnCloseCommand() override { Unload(); }

 protected:
  void OnLoad() override {
    if (onLoad) onLoad();
  }
};

}  // namespace tarnvel
