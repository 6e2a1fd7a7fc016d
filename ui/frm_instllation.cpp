#include "ui/frm_instllation.h"

#include <vector>

#include "app/cancel_confirmation.h"
#include "install/manifest.h"
#include "ui/fonts.h"
#include "ui/form_styles.h"
#include "ui/frm_welcome.h"
#include "ui/resource_ids.h"

namespace tarnvel {

using ui::Color;
using ui::Filled;
using ui::kSilver;
using ui::Label;
using ui::Shape;

namespace {

constexpr Color kRed = Color::Rgb(0xFF0000);

ui::Form::Style WindowStyle() {
  ui::Form::Style style;
  style.caption = "Tarnvel Vivi-Installation Setup";
  style.frame = ui::Form::FrameStyle::FixedSingle;
  style.controlBox = false;
  style.showInTaskbar = true;
  style.client = {2715, 2010, 6990, 5085};
  style.backColor = ui::sys::kButtonFace;
  style.iconId = TARNVEL_IDI_PROGRAM;
  return style;
}

std::vector<std::string> ManifestNames() {
  std::vector<std::string> names;
  for (const Component& c : kManifest) names.emplace_back(c.name);
  return names;
}

Label::Style BannerText() {
  Label::Style style;
  style.font = ui::fonts::ArialBlack975();
  style.foreColor = kRed;
  style.transparent = true;
  style.align = Label::Align::Center;
  return style;
}

Label::Style FileNameLine() {
  Label::Style style;  // default font, opaque button-face background
  style.foreColor = ui::sys::kButtonText;
  style.backColor = ui::sys::kButtonFace;
  style.transparent = false;
  return style;
}

Label::Style FailureLine() {
  Label::Style style;
  style.font = ui::fonts::SansBold825();
  style.foreColor = kRed;
  style.transparent = true;
  return style;
}

Shape::Style Outline(Shape::Kind kind, Color border, int width) {
  Shape::Style style;
  style.kind = kind;
  style.transparentInterior = true;
  style.borderColor = border;
  style.borderWidthPx = width;
  return style;
}

}  // namespace

FrmInstllation::FrmInstllation(Platform& platform, FrmWelcome& welcome)
    : ui::Form(WindowStyle()),
      Frame1(this, "Frame1", "On file exist", {1560, 1920, 4095, 1455}, 4),
      OptOverWrite(this, &Frame1, "OptOverWrite", "Over write the files.", {1080, 360, 2775, 255},
                   true, 5),
      OptAsk(this, &Frame1, "OptAsk", "Ask me before over write.", {1080, 840, 2415, 255}, false,
             6),
      cmdInstall(this, "cmdInstall", "Install", {5640, 4560, 1215, 375}, kSilver, 2),
      cmdCanel(this, "cmdCanel", "Cancel", {4320, 4560, 1215, 375}, kSilver, 3),
      lstInsFiles(this, "lstInsFiles", {5520, 1080, 1335, 645}, ManifestNames(), 1),
      lblBanner(this, "lblBanner", "Pre-Installation  Setup", {1440, 360, 4095, 375}, BannerText(),
                0),
      lblFileName(this, "lblFileName", "", {1200, 2640, 4815, 375}, FileNameLine(), 7),
      lblErr(this, "lblErr", "", {120, 4680, 2775, 255}, FailureLine(), 8),
      Image1(this, "Image1", {360, 240, 480, 480}, ui::Picture::Kind::Icon, TARNVEL_IDI_PROGRAM),
      Shape3(this, "Shape3", {1440, 120, 4095, 735},
             Outline(Shape::Kind::RoundedRectangle, Color::Rgb(0x8080FF), 1)),
      Shape1{{this, "Shape1(0)", {0, 0, 7215, 1095}, Filled(0xF7F4FF, Color::Rgb(0x0000C0), 2)}},
      Shape2(this, "Shape2", {0, 4440, 7215, 735}, Filled(0xE0E0E0, ui::sys::kWindowText, 2)),
      shpBack(this, "shpBack", {1200, 2280, 4815, 255}, Filled(0xFFFFFF, Color::Rgb(0), 1), false),
      ShpBar(this, "ShpBar", {1200, 2280, 15, 255}, Filled(0x00FF00, Color::Rgb(0), 1), false),
      ShpFrame(this, "ShpFrame", {1200, 2280, 4815, 255},
               Outline(Shape::Kind::Rectangle, ui::sys::kWindowText, 2), false),
      platform_(platform),
      welcome_(welcome) {
  // Painted elements, bottom first. The outline lies above the fill, which
  // lies above the white background, so a growing bar stays visible.
  SetStackingOrder({&Shape2, &shpBack, &ShpBar, &Shape1[0], &lblBanner, &Shape3, &ShpFrame, &Image1,
                    &lblFileName, &lblErr});
  SetInitialFocus(&cmdInstall);
  cmdInstall.onClick = [this] { cmdInstall_Click(); };
  cmdCanel.onClick = [this] { cmdCanel_Click(); };
}

void FrmInstllation::Form_Load() {
  FileCount = static_cast<std::int16_t>(lstInsFiles.ListCount());
  // Take the welcome window's place and outer size.
  SetTop(welcome_.Top());
  SetLeft(welcome_.Left());
  SetWidth(welcome_.Width());
  SetHeight(welcome_.Height());
  SystemDir();
}

void FrmInstllation::cmdInstall_Click() {
  // A second click handled inside one of the run's pumps would start a
  // nested run.
  if (runActive_) return;
  Frame1.SetVisible(false);
  PGVisible(ShpBar, ShpFrame, shpBack, -1);
  InstallNow();
}

void FrmInstllation::cmdCanel_Click() { ConfirmCancel(platform_); }

}  // namespace tarnvel
