#include "ui/toolkit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_backend.h"

namespace tarnvel::ui {
namespace {

TEST(UnitsTest, TwipsAndPixelsAtTheScreensDpi) {
  struct Case {
    int twips, dpi, pixels;
  };
  const Case cases[] = {
      {15, 96, 1},      {4815, 96, 321}, {-120, 96, -8},   {6960, 96, 464},
      {4815, 144, 482}, {15, 144, 2},    {-120, 144, -12}, {4815, 120, 401},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
  }
  EXPECT_EQ(PixelsToTwips(-8, 96), -120);
  EXPECT_EQ(PixelsToTwips(3, 144), 30);
  EXPECT_EQ(PixelsToTwips(22, 120), 264);
}

TEST(UnitsTest, FontHeightsKeepFractionalPointSizes) {
  struct Case {
    double points;
    int dpi, height;
  };
  const Case cases[] = {
      {9.75, 96, -13},  {8.25, 96, -11},  {8, 96, -11},  {9.75, 144, -20},
      {8.25, 144, -17}, {9.75, 120, -16}, {12, 96, -16},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogicalFontHeight(c.points, c.dpi), c.height) << c.points << " pt at " << c.dpi;
  }
}

TEST(ControlKindTest, LabelsShapesAndPicturesArePainted) {
  EXPECT_TRUE(IsPainted(ControlKind::Label));
  EXPECT_TRUE(IsPainted(ControlKind::Shape));
  EXPECT_TRUE(IsPainted(ControlKind::Picture));
  EXPECT_FALSE(IsPainted(ControlKind::Button));
  EXPECT_FALSE(IsPainted(ControlKind::Frame));
  EXPECT_FALSE(IsPainted(ControlKind::Option));
  EXPECT_FALSE(IsPainted(ControlKind::List));
}

struct TwoGroups : Form {
  TwoGroups() : Form(Style{}) {}
  Frame fraA{this, "fraA", "A", {0, 0, 1500, 1500}, 0};
  OptionButton optA1{this, &fraA, "optA1", "1", {0, 0, 600, 255}, true, 1};
  OptionButton optA2{this, &fraA, "optA2", "2", {0, 300, 600, 255}, false, 2};
  Frame fraB{this, "fraB", "B", {1500, 0, 1500, 1500}, 3};
  OptionButton optB1{this, &fraB, "optB1", "1", {0, 0, 600, 255}, true, 4};
  OptionButton optB2{this, &fraB, "optB2", "2", {0, 300, 600, 255}, false, 5};
};

TEST(OptionButtonTest, ClickSelectsItAndClearsOnlyItsOwnGroup) {
  RecordingBackend backend;
  TwoGroups form;
  form.Show();
  backend.events.clear();
  form.optA2.Click();
  EXPECT_FALSE(form.optA1.Value());
  EXPECT_TRUE(form.optA2.Value());
  EXPECT_TRUE(form.optB1.Value());
  EXPECT_FALSE(form.optB2.Value());
  EXPECT_EQ(backend.events, (std::vector<std::string>{"changed optA1", "changed optA2"}));

  backend.events.clear();
  form.optA2.Click();  // already selected
  EXPECT_TRUE(backend.events.empty());
  form.optA1.SetValue(true);
  EXPECT_TRUE(form.optA1.Value());
  EXPECT_FALSE(form.optA2.Value());
}

struct Sample : Form {
  explicit Sample(Style style) : Form(std::move(style)) {}
  Label lblText{this, "lblText", "", {120, 120, 1500, 255}, {}};
  Shape shpBox{this, "shpBox", {0, 0, 3000, 1500}, {}};
  Button cmdGo{this, "cmdGo", "Go", {120, 600, 1215, 375}, Color::Rgb(0xC0C0C0), 0};
  ListBox lstItems{this, "lstItems", {0, 0, 600, 600}, {"b", "a", "c"}, 1};
  int loads = 0;

 protected:
  void OnLoad() override { ++loads; }
};

Form::Style WelcomeLike() {
  Form::Style style;
  style.caption = "Welcome";
  style.client = {2745, 1980, 6960, 5130};
  return style;
}

TEST(FormTest, OuterRectangleIsTheClientAreaPlusTheBackendsFrame) {
  RecordingBackend backend;
  backend.insets = {3, 22, 3, 3};
  Sample form(WelcomeLike());
  EXPECT_EQ(form.Left(), 2745 - 45);
  EXPECT_EQ(form.Top(), 1980 - 330);
  EXPECT_EQ(form.Width(), 6960 + 90);
  EXPECT_EQ(form.Height(), 5130 + 375);
  const TwipsRect client = form.ClientRect();
  EXPECT_EQ(client.left, 2745);
  EXPECT_EQ(client.top, 1980);
  EXPECT_EQ(client.width, 6960);
  EXPECT_EQ(client.height, 5130);
}

TEST(FormTest, MovingTheFormTellsTheViewAndMovesTheClientArea) {
  RecordingBackend backend;
  Sample form(WelcomeLike());
  form.Show();
  backend.events.clear();
  form.SetLeft(1500);
  form.SetTop(900);
  EXPECT_EQ(backend.events, (std::vector<std::string>{"form Welcome", "form Welcome"}));
  EXPECT_EQ(form.ClientRect().left, 1500 + 45);
  EXPECT_EQ(form.ClientRect().top, 900 + 330);
}

TEST(FormTest, WhereTheUserMovedTheWindowIsReadBackWithoutMovingItAgain) {
  RecordingBackend backend;
  Sample form(WelcomeLike());
  form.Load();
  backend.events.clear();
  form.SetOuterFromWindow({300, 450, 7050, 5505});
  EXPECT_TRUE(backend.events.empty());
  EXPECT_EQ(form.Left(), 300);
  EXPECT_EQ(form.Top(), 450);
  EXPECT_EQ(form.Width(), 7050);
  EXPECT_EQ(form.Height(), 5505);
}

TEST(FormTest, LoadsOnceAndShowLoadsFirst) {
  RecordingBackend backend;
  Sample form(WelcomeLike());
  form.Show();
  form.Load();
  form.Show();
  EXPECT_EQ(form.loads, 1);
  EXPECT_TRUE(form.Loaded());
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(backend.Only("form"), std::vector<std::string>{"form Welcome"});
  form.Hide();
  EXPECT_FALSE(form.Visible());
}

TEST(ControlTest, ChangesReachTheViewOnlyWhenSomethingChanged) {
  RecordingBackend backend;
  Sample form(WelcomeLike());
  form.Show();
  backend.events.clear();
  form.lblText.SetCaption("");   // unchanged
  form.shpBox.SetVisible(true);  // unchanged
  form.cmdGo.SetEnabled(true);   // unchanged
  EXPECT_TRUE(backend.events.empty());

  form.lblText.SetCaption("Copying a.dll");
  form.shpBox.SetVisible(false);
  form.cmdGo.SetEnabled(false);
  Shape::Style red;
  red.fillColor = Color::Rgb(0xFF0000);
  form.shpBox.SetStyle(red);
  form.lblText.Refresh();
  form.cmdGo.SetFocus();
  const std::vector<std::string> expected = {"changed lblText", "changed shpBox",  "changed cmdGo",
                                             "changed shpBox",  "repaint lblText", "focus cmdGo"};
  EXPECT_EQ(backend.events, expected);
  EXPECT_EQ(form.shpBox.GetStyle().fillColor, Color::Rgb(0xFF0000));
  EXPECT_FALSE(form.cmdGo.Enabled());
}

TEST(ListBoxTest, KeepsItemsInTheGivenOrderAndIsNeverVisible) {
  Sample form(WelcomeLike());
  ASSERT_EQ(form.lstItems.ListCount(), 3);
  EXPECT_EQ(form.lstItems.List(0), "b");
  EXPECT_EQ(form.lstItems.List(1), "a");
  EXPECT_EQ(form.lstItems.List(2), "c");
  EXPECT_FALSE(form.lstItems.Visible());
}

}  // namespace
}  // namespace tarnvel::ui
