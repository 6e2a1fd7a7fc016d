// The bar's width for a position out of a maximum, at its edges.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "ui/progress_bar.h"

namespace tarnvel::test {
namespace {

struct BarForm : ui::Form {
  BarForm() : Form(Style{}) { Show(); }
  ui::Shape shpBack{this, "shpBack", {1200, 2280, 4815, 255}, {}, false};
  ui::Shape ShpBar{this, "ShpBar", {1200, 2280, 15, 255}, {}, false};
  ui::Shape ShpFrame{this, "ShpFrame", {1200, 2280, 4815, 255}, {}, false};
};

TEST(Progress, WidthAtTheEdgesOfRoundingAndRangeAndEveryCallRepaintsAllThree) {
  // Outline width; position, maximum; the bar's width before, after; position after.
  const std::tuple<int, std::int32_t, std::int32_t, int, int, std::int32_t, const char*> cases[] = {
      {4815, 1, 28, 15, 172, 1, "first of 28 entries"},
      {4813, 1, 2, 15, 2406, 1, "2406.5 goes down to even"},
      {4815, 1, 2, 15, 2408, 1, "2407.5 goes up to even"},
      {4815, 1, 30, 15, 161, 1, "160.5 in double precision, just above in 80-bit extended"},
      {4815, 28, 28, 15, 4815, 28, "full"},
      {4815, 40, 28, 15, 4815, 28, "past the maximum: full, and the caller's value lowered"},
      {4815, 0, 28, 1204, 0, 0, "empty"},
      {4815, 5, 0, 1204, 0, 0, "maximum 0: the step fails, width 0"},
      {4815, -1, 28, 1204, 1204, -1, "negative position: width kept"},
      {32767, 1, 1, 15, 32767, 1, "widest"},
      {65535, 1, 2, 1204, 0, 1, "32767.5 is out of range: width 0"},
      {65537, -1, 2, 1204, 1204, -1, "-32768.5 gives -32768, in range but negative: kept"},
      {65539, -1, 2, 1204, 0, -1, "-32769.5 is out of range: width 0"},
  };
  for (const auto& [full, curr, max, before, width, currAfter, why] : cases) {
    SCOPED_TRACE(why);
    CountingBackend backend;
    BarForm form;
    form.ShpFrame.SetWidth(full);
    form.ShpBar.SetWidth(before);
    std::int32_t currVal = curr, maxVal = max;
    ui::Progress(form.ShpBar, form.ShpFrame, form.shpBack, currVal, maxVal);
    EXPECT_EQ(form.ShpBar.Width(), width);
    EXPECT_EQ(currVal, currAfter);
    EXPECT_EQ(backend.repaints, std::vector<std::string>({"shpBack", "ShpBar", "ShpFrame"}));
  }
}

}  // namespace
}  // namespace tarnvel::test
