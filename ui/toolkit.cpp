#include "ui/toolkit.h"

#include <cmath>
#include <utility>

namespace tarnvel::ui {

namespace {
Backend* gBackend = nullptr;

// Round half away from zero, as MulDiv does.
int MulDivRound(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : -((-product + half) / denominator));
}
}  // namespace

int TwipsToPixels(int twips, int dpi) { return MulDivRound(twips, dpi, 1440); }
int PixelsToTwips(int pixels, int dpi) { return MulDivRound(pixels, 1440, dpi); }

int LogicalFontHeight(double points, int dpi) {
  const int hundredths = static_cast<int>(std::lround(points * 100));
  return -MulDivRound(hundredths, dpi, 72 * 100);
}

void SetBackend(Backend* backend) { gBackend = backend; }
Backend* CurrentBackend() { return gBackend; }

// ---- Control

Control::Control(Form* owner, const char* name, ControlKind kind, TwipsRect rect)
    : owner_(owner), name_(name), kind_(kind), rect_(rect) {
  owner_->Register(this);
}

void Control::Changed() {
  if (FormView* view = owner_->View()) view->ControlChanged(*this);
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}

void Control::SetWidth(int twips) {
  rect_.width = twips;
  Changed();
}

void Control::SetCaption(const std::string& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  Changed();
}

void Control::Refresh() {
  if (FormView* view = owner_->View()) view->RepaintNow(*this);
}

// ---- Controls

Label::Label(Form* owner, const char* name, std::string caption, TwipsRect rect, Style style,
             int tabIndex)
    : Control(owner, name, ControlKind::Label, rect), style_(std::move(style)) {
  caption_ = std::move(caption);
  tabIndex_ = tabIndex;
}

Shape::Shape(Form* owner, const char* name, TwipsRect rect, Style style, bool visible)
    : Control(owner, name, ControlKind::Shape, rect), style_(style) {
  visible_ = visible;
}

Picture::Picture(Form* owner, const char* name, TwipsRect rect, Kind kind, int resourceId)
    : Control(owner, name, ControlKind::Picture, rect), kind_(kind), resourceId_(resourceId) {}

Button::Button(Form* owner, const char* name, std::string caption, TwipsRect rect, Color faceColor,
               int tabIndex)
    : Control(owner, name, ControlKind::Button, rect), faceColor_(faceColor) {
  caption_ = std::move(caption);
  tabIndex_ = tabIndex;
}

void Button::Click() {
  if (onClick) onClick();
}

Frame::Frame(Form* owner, const char* name, std::string caption, TwipsRect rect, int tabIndex)
    : Control(owner, name, ControlKind::Frame, rect) {
  caption_ = std::move(caption);
  tabIndex_ = tabIndex;
}

OptionButton::OptionButton(Form* owner, Frame* container, const char* name, std::string caption,
                           TwipsRect rect, bool value, int tabIndex)
    : Control(owner, name, ControlKind::Option, rect), value_(value) {
  caption_ = std::move(caption);
  tabIndex_ = tabIndex;
  container_ = container;
}

void OptionButton::SetValue(bool value) {
  if (value) {
    for (Control* other : Owner().Controls()) {
      if (other != this && other->Kind() == ControlKind::Option &&
          other->Container() == container_) {
        auto* option = static_cast<OptionButton*>(other);
        if (option->value_) {
          option->value_ = false;
          option->Changed();
        }
      }
    }
  }
  if (value_ != value) {
    value_ = value;
    Changed();
  }
}

void OptionButton::Click() { SetValue(true); }

ListBox::ListBox(Form* owner, const char* name, TwipsRect rect, std::vector<std::string> items,
                 int tabIndex)
    : Control(owner, name, ControlKind::List, rect), items_(std::move(items)) {
  tabIndex_ = tabIndex;
  visible_ = false;
}

// ---- Form

Form::Form(Style style) : style_(std::move(style)) {}
Form::~Form() = default;

void Form::SetStackingOrder(std::vector<Control*> bottomFirst) {
  stacking_ = std::move(bottomFirst);
}

void Form::Load() {
  if (loaded_) return;
  loaded_ = true;
  OnLoad();
}

void Form::Show() {
  Load();
  if (visible_) return;
  // The window is made on the first Show: a form that is only loaded (the
  // silent run's) never touches the display.
  if (!view_) {
    if (Backend* backend = CurrentBackend()) view_ = backend->CreateView(*this);
  }
  visible_ = true;
  Changed();
}

void Form::Hide() {
  if (!visible_) return;
  visible_ = false;
  Changed();
}

void Form::Changed() {
  if (view_) view_->FormChanged();
}

namespace {
struct FrameMetrics {
  Backend::Insets insets{3, 22, 3, 3};  // a plausible frame for host runs
  int dpi = 96;
};

FrameMetrics MetricsOf(const Form& form) {
  FrameMetrics m;
  if (Backend* backend = CurrentBackend()) {
    m.insets = backend->FrameInsets(form);
    m.dpi = backend->Dpi();
  }
  return m;
}
}  // namespace

TwipsRect Form::Outer() const {
  if (placed_) return outer_;
  // Not placed yet: the design client area in the frame the backend reports
  // now, so a window made later gets its real frame.
  const FrameMetrics m = MetricsOf(*this);
  const TwipsRect& c = style_.client;
  TwipsRect outer;
  outer.left = c.left - PixelsToTwips(m.insets.left, m.dpi);
  outer.top = c.top - PixelsToTwips(m.insets.top, m.dpi);
  outer.width = c.width + PixelsToTwips(m.insets.left + m.insets.right, m.dpi);
  outer.height = c.height + PixelsToTwips(m.insets.top + m.insets.bottom, m.dpi);
  return outer;
}

int Form::Left() const { return Outer().left; }
int Form::Top() const { return Outer().top; }
int Form::Width() const { return Outer().width; }
int Form::Height() const { return Outer().height; }

void Form::Place(int TwipsRect::*side, int twips) {
  outer_ = Outer();
  outer_.*side = twips;
  placed_ = true;
  Changed();
}

void Form::SetLeft(int twips) { Place(&TwipsRect::left, twips); }
void Form::SetTop(int twips) { Place(&TwipsRect::top, twips); }
void Form::SetWidth(int twips) { Place(&TwipsRect::width, twips); }
void Form::SetHeight(int twips) { Place(&TwipsRect::height, twips); }

void Form::SetOuterFromWindow(const TwipsRect& outer) {
  outer_ = outer;
  placed_ = true;
}

}  // namespace tarnvel::ui
