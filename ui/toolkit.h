// A small window toolkit for the program's two windows: a form
// owns named controls whose state is held in plain members, so forms and the
// window flow run without Windows. A backend (the Win32 layer) gives a form a
// view that creates the window, paints the windowless controls and turns
// user input into the controls' handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnvel::ui {

// Positions and sizes are in twips: 1440 an inch, 15 a pixel at 96 DPI.
struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// Pixels for twips at `dpi`, rounded to nearest (exact at 96 DPI).
int TwipsToPixels(int twips, int dpi);
int PixelsToTwips(int pixels, int dpi);

// LOGFONT height (negative: character height) for a size in points, kept to
// hundredths: 9.75 pt is -13 at 96 DPI.
int LogicalFontHeight(double points, int dpi);

// Either an explicit #RRGGBB colour or a colour of the desktop scheme.
struct Color {
  bool isSystem = false;
  std::uint32_t value = 0;  // 0xRRGGBB, or the system colour index

  static constexpr Color Rgb(std::uint32_t rrggbb) { return {false, rrggbb}; }
  static constexpr Color System(std::uint32_t index) { return {true, index}; }
  bool operator==(const Color& o) const { return isSystem == o.isSystem && value == o.value; }
};

// System colour indices (GetSysColor).
namespace sys {
constexpr Color kWindowText = Color::System(8);
constexpr Color kButtonFace = Color::System(15);
constexpr Color kButtonText = Color::System(18);
}  // namespace sys

struct Font {
  std::string face;   // empty: the window's default font
  double points = 0;  // fractional sizes such as 9.75 are kept as they are
  int weight = 400;   // 700 is bold
  int charset = 0;    // ANSI
  bool IsDefault() const { return face.empty(); }
};

enum class ControlKind { Label, Shape, Picture, Button, Frame, Option, List };

// Labels, shapes and pictures are painted on the form's background; the other
// kinds are child windows above them.
constexpr bool IsPainted(ControlKind kind) {
  return kind == ControlKind::Label || kind == ControlKind::Shape || kind == ControlKind::Picture;
}

class Form;
class Control;

// The Win32 side of one form, made on its first Show. Host runs and forms
// that are never shown have none.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual void FormChanged() = 0;             // caption, geometry, visibility
  virtual void ControlChanged(Control&) = 0;  // repaint at the next paint
  virtual void RepaintNow(Control&) = 0;      // compose and draw its area now
};

// Creates views and knows the window frame. Set once by the Win32 layer.
class Backend {
 public:
  virtual ~Backend() = default;
  // Called on a form's first Show.
  virtual std::unique_ptr<FormView> CreateView(Form&) = 0;
  // Thickness of a form's frame around its client area, in pixels at Dpi().
  // Both are also asked before any view exists (for a loaded form's outer
  // rectangle), so neither may need a display.
  struct Insets {
    int left = 0, top = 0, right = 0, bottom = 0;
  };
  virtual Insets FrameInsets(const Form&) = 0;
  virtual int Dpi() = 0;
};

void SetBackend(Backend* backend);
Backend* CurrentBackend();

class Control {
 public:
  Control(Form* owner, const char* name, ControlKind kind, TwipsRect rect);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  ControlKind Kind() const { return kind_; }
  Form& Owner() const { return *owner_; }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  const TwipsRect& Rect() const { return rect_; }
  int Left() const { return rect_.left; }
  int Top() const { return rect_.top; }
  int Width() const { return rect_.width; }
  int Height() const { return rect_.height; }
  void SetWidth(int twips);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // Draws the control's area now, composed in stacking order.
  void Refresh();

  // The frame that contains this control, or none (the form).
  Control* Container() const { return container_; }
  int TabIndex() const { return tabIndex_; }

 protected:
  void Changed();

  std::string caption_;
  bool visible_ = true;
  int tabIndex_ = -1;
  Control* container_ = nullptr;

 private:
  Form* owner_;
  std::string name_;
  ControlKind kind_;
  TwipsRect rect_;
};

class Label : public Control {
 public:
  enum class Align { Left, Center };
  struct Style {
    Font font;
    Color foreColor = sys::kButtonText;
    Color backColor = sys::kButtonFace;
    bool transparent = false;
    Align align = Align::Left;
  };
  Label(Form* owner, const char* name, std::string caption, TwipsRect rect, Style style,
        int tabIndex = -1);
  const Style& GetStyle() const { return style_; }

 private:
  Style style_;
};

class Shape : public Control {
 public:
  enum class Kind { Rectangle, RoundedRectangle };
  struct Style {
    Kind kind = Kind::Rectangle;
    bool transparentInterior = false;
    Color fillColor = Color::Rgb(0xFFFFFF);
    Color borderColor = Color::Rgb(0x000000);
    int borderWidthPx = 1;
  };
  Shape(Form* owner, const char* name, TwipsRect rect, Style style, bool visible = true);
  const Style& GetStyle() const { return style_; }

 private:
  Style style_;
};

class Picture : public Control {
 public:
  enum class Kind { Bitmap, Icon };
  // `resourceId` names the picture among the executable's resources.
  Picture(Form* owner, const char* name, TwipsRect rect, Kind kind, int resourceId);
  Kind PictureKind() const { return kind_; }
  int ResourceId() const { return resourceId_; }

 private:
  Kind kind_;
  int resourceId_;
};

class Button : public Control {
 public:
  Button(Form* owner, const char* name, std::string caption, TwipsRect rect, Color faceColor,
         int tabIndex);
  Color FaceColor() const { return faceColor_; }
  std::function<void()> onClick;
  void Click();  // what a user's click does

 private:
  Color faceColor_;
};

class Frame : public Control {
 public:
  Frame(Form* owner, const char* name, std::string caption, TwipsRect rect, int tabIndex);
};

// Option buttons sharing one container form one exclusive group.
class OptionButton : public Control {
 public:
  OptionButton(Form* owner, Frame* container, const char* name, std::string caption, TwipsRect rect,
               bool value, int tabIndex);
  bool Value() const { return value_; }
  void SetValue(bool value);  // selecting one clears the others of its group
  void Click();               // a user's click selects it

 private:
  bool value_;
};

// A list that holds items in the given order and is never shown.
class ListBox : public Control {
 public:
  ListBox(Form* owner, const char* name, TwipsRect rect, std::vector<std::string> items,
          int tabIndex);
  int ListCount() const { return static_cast<int>(items_.size()); }
  const std::string& List(int index) const { return items_.at(index); }

 private:
  std::vector<std::string> items_;
};

class Form {
 public:
  enum class FrameStyle {
    FixedDialog,  // dialog frame, with system menu and close box
    FixedSingle,  // single-line frame, no system menu, no close box
  };
  struct Style {
    std::string caption;
    FrameStyle frame = FrameStyle::FixedDialog;
    bool controlBox = true;
    bool showInTaskbar = true;
    TwipsRect client;  // design position (screen) and size of the client area
    Color backColor = Color::Rgb(0xFFFFFF);
    int iconId = 0;
  };

  explicit Form(Style style);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const Style& GetStyle() const { return style_; }
  const std::string& Caption() const { return style_.caption; }

  // Every control in declaration order.
  const std::vector<Control*>& Controls() const { return controls_; }
  // Painted controls, bottom first; set by each form next to its declarations.
  const std::vector<Control*>& StackingOrder() const { return stacking_; }
  Control* InitialFocus() const { return initialFocus_; }

  // Runs OnLoad once. The form's state is plain members, so a loaded form
  // works without a window.
  void Load();
  // Modeless, no owner. Loads the form, and creates its window the first time.
  void Show();
  void Hide();
  bool Visible() const { return visible_; }

  // The outer rectangle (frame included), in twips.
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int twips);
  void SetTop(int twips);
  void SetWidth(int twips);
  void SetHeight(int twips);
  // Records where the window is after the user moved it, without moving it
  // again: the next Left/Top/Width/Height read it. For the view.
  void SetOuterFromWindow(const TwipsRect& outer);

  FormView* View() const { return view_.get(); }

  // The frame's close command (close box, Alt+F4, WM_CLOSE).
  virtual void OnCloseCommand() {}

 protected:
  virtual void OnLoad() {}
  void SetStackingOrder(std::vector<Control*> bottomFirst);
  void SetInitialFocus(Control* control) { initialFocus_ = control; }

 private:
  friend class Control;
  void Register(Control* control) { controls_.push_back(control); }
  // The outer rectangle: as placed, or derived from the design client area.
  TwipsRect Outer() const;
  void Place(int TwipsRect::*side, int twips);
  void Changed();

  Style style_;
  std::vector<Control*> controls_;
  std::vector<Control*> stacking_;
  Control* initialFocus_ = nullptr;
  std::unique_ptr<FormView> view_;
  bool loaded_ = false;
  bool visible_ = false;
  bool placed_ = false;  // moved by the program or the user
  TwipsRect outer_;
};

}  // namespace tarnvel::ui
