#include "ui/progress_bar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recording_backend.h"

namespace tarnvel::ui {
namespace {

// The three progress shapes as the installation window lays them out, on a
// shown form (only a shown form has a view).
struct BarForm : Form {
  BarForm() : Form(Style{}) { Show(); }
  Shape shpBack{this, "shpBack", {1200, 2280, 4815, 255}, {}, false};
  Shape ShpBar{this, "ShpBar", {1200, 2280, 15, 255}, {}, false};
  Shape ShpFrame{this, "ShpFrame", {1200, 2280, 4815, 255}, {}, false};

  void Step(std::int32_t k, std::int32_t count) { Progress(ShpBar, ShpFrame, shpBack, k, count); }
};

const std::vector<std::string> kThreeRepaints = {"repaint shpBack", "repaint ShpBar",
                                                 "repaint ShpFrame"};

TEST(ProgressTest, BarWidthForEachEntryOfTheManifest) {
  struct Case {
    std::int32_t k;
    int width;
  };
  const Case cases[] = {{1, 172}, {7, 1204}, {14, 2408}, {15, 2579}, {21, 3611}, {28, 4815}};
  RecordingBackend backend;
  BarForm form;
  for (const Case& c : cases) {
    form.Step(c.k, 28);
    EXPECT_EQ(form.ShpBar.Width(), c.width) << "k = " << c.k;
  }
}

TEST(BarWidthTest, RoundsInExtendedPrecisionAndHalvesToEven) {
  struct Case {
    std::int32_t curr, max;
    int full;
    std::optional<int> width;
    const char* why;
  };
  const Case cases[] = {
      {1, 30, 4815, 161, "160.5 in double, just above it in extended"},
      {1, 2, 4813, 2406, "2406.5 goes down to even"},
      {1, 2, 4815, 2408, "2407.5 goes up to even"},
      {0, 28, 4815, 0, "an empty bar"},
      {28, 28, 4815, 4815, "a full bar"},
      {1, 1, 32767, 32767, "the largest width"},
      {1, 2, 65535, std::nullopt, "32767.5 rounds out of range"},
      {1, 1, 32768, std::nullopt, "a full scale wider than 32767"},
      {-1, 2, 65537, -32768, "-32768.5 rounds to -32768, in range"},
      {-1, 2, 65539, std::nullopt, "-32769.5 is out of range"},
      {5, 0, 4815, std::nullopt, "division by zero"},
      {0, 0, 4815, std::nullopt, "0 divided by 0"},
      {-7, 28, 4815, -1204, "a negative position gives a negative width"},
  };
  for (const Case& c : cases) {
    const std::optional<std::int16_t> width = BarWidth(c.curr, c.max, c.full);
    ASSERT_EQ(width.has_value(), c.width.has_value()) << c.why;
    if (width) {
      EXPECT_EQ(*width, *c.width) << c.why;
    }
  }
}

TEST(BarWidthTest, TheThirtiethCaseTellsExtendedFromDoublePrecision) {
  // Guards the table above: in double precision the same case comes out 160.
  volatile double quotient = 1.0 / 30.0;
  volatile double product = quotient * 4815.0;
  EXPECT_EQ(std::nearbyint(product), 160.0);
}

#if defined(__i386__) || defined(__x86_64__)
TEST(BarWidthTest, KeepsExtendedRoundingWhenTheFpuIsSetToDoublePrecision) {
  unsigned short saved = 0;
  __asm__ volatile("fnstcw %0" : "=m"(saved) : : "memory");
  const unsigned short doublePrecision = static_cast<unsigned short>((saved & ~0x0300u) | 0x0200u);
  __asm__ volatile("fldcw %0" : : "m"(doublePrecision) : "memory");
  const std::optional<std::int16_t> width = BarWidth(1, 30, 4815);
  unsigned short after = 0;
  __asm__ volatile("fnstcw %0" : "=m"(after) : : "memory");
  __asm__ volatile("fldcw %0" : : "m"(saved) : "memory");
  ASSERT_TRUE(width.has_value());
  EXPECT_EQ(*width, 161);
  EXPECT_EQ(after, doublePrecision) << "the caller's control word is restored";
}
#endif

TEST(ProgressTest, SetsTheWidthThenRepaintsBackBarAndFrameInOrder) {
  RecordingBackend backend;
  BarForm form;
  backend.events.clear();
  form.Step(7, 28);
  const std::vector<std::string> expected = {"changed ShpBar", "repaint shpBack", "repaint ShpBar",
                                             "repaint ShpFrame"};
  EXPECT_EQ(backend.events, expected);
}

TEST(ProgressTest, UnchangedWidthIsNotSetButAllThreeShapesAreRepainted) {
  RecordingBackend backend;
  BarForm form;
  form.Step(7, 28);
  backend.events.clear();
  form.Step(7, 28);
  EXPECT_EQ(form.ShpBar.Width(), 1204);
  EXPECT_EQ(backend.events, kThreeRepaints);
}

TEST(ProgressTest, ZeroMaximumEmptiesTheBarAndStillRepaints) {
  RecordingBackend backend;
  BarForm form;
  form.Step(3, 28);
  backend.events.clear();
  form.Step(0, 0);
  EXPECT_EQ(form.ShpBar.Width(), 0);
  EXPECT_EQ(backend.Only("repaint"), kThreeRepaints);
}

TEST(ProgressTest, ProductOutOfRangeEmptiesTheBar) {
  RecordingBackend backend;
  BarForm form;
  form.Step(3, 28);
  form.ShpFrame.SetWidth(32768);
  form.Step(28, 28);
  EXPECT_EQ(form.ShpBar.Width(), 0);
}

TEST(ProgressTest, NegativePositionKeepsTheBarsWidth) {
  RecordingBackend backend;
  BarForm form;
  form.Step(7, 28);
  backend.events.clear();
  form.Step(-1, 28);
  EXPECT_EQ(form.ShpBar.Width(), 1204);
  EXPECT_EQ(backend.events, kThreeRepaints);
}

TEST(ProgressTest, PositionPastTheMaximumFillsTheBarAndLowersTheCallersValue) {
  RecordingBackend backend;
  BarForm form;
  std::int32_t curr = 40;
  std::int32_t max = 28;
  Progress(form.ShpBar, form.ShpFrame, form.shpBack, curr, max);
  EXPECT_EQ(curr, 28);
  EXPECT_EQ(max, 28);
  EXPECT_EQ(form.ShpBar.Width(), 4815);
}

TEST(ProgressTest, RunsWithoutAWindow) {
  BarForm form;  // no backend: nothing to repaint
  form.Step(14, 28);
  EXPECT_EQ(form.ShpBar.Width(), 2408);
}

TEST(PGVisibleTest, TrueShowsBackAndBarAndRepaintsTheBar) {
  RecordingBackend backend;
  BarForm form;
  PGVisible(form.ShpBar, form.ShpFrame, form.shpBack, -1);
  EXPECT_TRUE(form.shpBack.Visible());
  EXPECT_TRUE(form.ShpBar.Visible());
  EXPECT_FALSE(form.ShpFrame.Visible());
  EXPECT_EQ(backend.Only("repaint"), std::vector<std::string>{"repaint ShpBar"});
  EXPECT_EQ(form.ShpBar.Width(), 15) << "the design width until the first step";
}

TEST(PGVisibleTest, FalseHidesBackAndBarAndLeavesTheFrame) {
  RecordingBackend backend;
  BarForm form;
  form.ShpFrame.SetVisible(true);
  PGVisible(form.ShpBar, form.ShpFrame, form.shpBack, -1);
  PGVisible(form.ShpBar, form.ShpFrame, form.shpBack, 0);
  EXPECT_FALSE(form.shpBack.Visible());
  EXPECT_FALSE(form.ShpBar.Visible());
  EXPECT_TRUE(form.ShpFrame.Visible());
}

}  // namespace
}  // namespace tarnvel::ui
