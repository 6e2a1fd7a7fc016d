// The window toolkit on Win32: each form becomes a top-level window whose
// labels, shapes and pictures are painted on its background, and whose
// buttons, frames and option buttons are child windows above them.
//
//   Win32Backend backend;          // before the first form loads
//   SetBackend(&backend);
//   ... in the message loop:
//   if (!PreTranslate(msg)) { TranslateMessage; DispatchMessage; }
#pragma once

#include <windows.h>

#include <memory>

#include "ui/toolkit.h"
#include "ui/win32_gdi.h"

namespace tarnvel::ui {

class Win32Backend : public Backend {
 public:
  // Lays out at the system DPI. The first window makes the process DPI-aware
  // and reads it, so that twips become real pixels rather than scaled ones.
  // Nothing before the first window touches the display or the desktop (a
  // silent run makes none): until then it answers 96 DPI and the classic
  // frame.
  Win32Backend();
  // Lays out at `dpi` whatever the screen's is.
  explicit Win32Backend(int dpi);
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  std::unique_ptr<FormView> CreateView(Form& form) override;
  Insets FrameInsets(const Form& form) override;
  int Dpi() override { return dpi_; }

  // The never-shown owner of forms without a task-bar button.
  HWND HiddenOwner();

 private:
  int dpi_ = 96;
  bool systemDpi_ = false;  // read at the first window
  bool windowMade_ = false;
  win32::UniqueWindow hiddenOwner_;
};

// Gives keyboard messages for a form to the dialog manager (Tab, arrows,
// Space). True when the message was handled and must not be dispatched.
bool PreTranslate(MSG& msg);

}  // namespace tarnvel::ui
