#include "ui/frm_welcome.h"

#include "ui/fonts.h"
#include "ui/form_styles.h"
#include "ui/resource_ids.h"

namespace tarnvel {

using ui::Color;
using ui::Filled;
using ui::kSilver;
using ui::Label;
using ui::Picture;
using ui::Shape;

namespace {

Label::Style PanelText(const ui::Font& font) {
  Label::Style style;
  style.font = font;
  style.foreColor = ui::sys::kButtonText;
  style.transparent = true;
  return style;
}

ui::Form::Style WindowStyle() {
  ui::Form::Style style;
  style.caption = "Welcome to Tarnvel Installation setup";
  style.frame = ui::Form::FrameStyle::FixedDialog;
  style.controlBox = true;
  style.showInTaskbar = false;
  style.client = {2745, 1980, 6960, 5130};
  style.backColor = Color::Rgb(0xFFFFFF);
  style.iconId = TARNVEL_IDI_PROGRAM;
  return style;
}

}  // namespace

FrmWelcome::FrmWelcome()
    : ui::Form(WindowStyle()),
      cmdNext(this, "cmdNext", "Next >>", {5520, 4560, 1215, 375}, kSilver, 1),
      cmdCanel(this, "cmdCanel", "Cancel", {4200, 4560, 1215, 375}, kSilver, 3),
      lblDisp(this, "lblDisp",
              "Welcome to TARNVEL Pre-installation setup. This will install the "
              "required files into your system.",
              {2520, 1800, 4215, 975}, PanelText(ui::fonts::SansBold975()), 0),
      Label1(this, "Label1", "TARNVEL", {480, 2280, 1095, 255}, PanelText(ui::fonts::SansBold975()),
             2),
      Label2(this, "Label2", "Pre Installation Setup", {240, 2760, 1935, 255},
             PanelText(ui::fonts::SansBold825()), 4),
      Label3(this, "Label3", "Click Next to continue.", {2520, 3840, 2295, 255},
             PanelText(ui::fonts::SansBold975()), 5),
      imgDisp{
          {this, "imgDisp(0)", {360, 480, 1455, 1455}, Picture::Kind::Bitmap, TARNVEL_IDB_EMBLEM},
          // The banner's top 8 pixels lie above the client area.
          {this,
           "imgDisp(1)",
           {2760, -120, 3000, 1200},
           Picture::Kind::Bitmap,
           TARNVEL_IDB_BANNER}},
      Shape1{{this, "Shape1(0)", {120, 240, 2175, 3975}, Filled(0xF7F4FF, Color::Rgb(0x0000C0))},
             {this, "Shape1(1)", {2400, 1200, 4455, 3015}, Filled(0xEFFEE9, Color::Rgb(0x00C000))}},
      Shape2(this, "Shape2", {120, 4320, 6735, 735}, Filled(0xE0E0E0, ui::sys::kWindowText)) {
  // Painted elements, bottom first: both panels, then texts and pictures.
  SetStackingOrder({&Shape1[1], &Shape1[0], &imgDisp[0], &lblDisp, &imgDisp[1], &Shape2, &Label1,
                    &Label2, &Label3});
  SetInitialFocus(&cmdNext);
}

void FrmWelcome::Unload() {
  std::int16_t cancel = 0;
  if (onUnload) onUnload(cancel);
  if (cancel != 0) return;
  Hide();
}

}  // namespace tarnvel
