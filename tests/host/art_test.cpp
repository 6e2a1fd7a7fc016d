#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "ui/art/pictures.h"

namespace tarnvel::art {
namespace {

std::uint32_t Le(const Bytes& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

struct BitmapCase {
  const char* name;
  Bytes (*make)();
  std::uint32_t width, height, fileSize;
};

void PrintTo(const BitmapCase& c, std::ostream* os) { *os << c.name; }

class BitmapFileTest : public testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapFileTest, IsAnUncompressed24BitBitmapOfItsSize) {
  const BitmapCase& c = GetParam();
  const Bytes file = c.make();
  ASSERT_EQ(file.size(), c.fileSize);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Le(file, 2, 4), c.fileSize);  // bfSize
  EXPECT_EQ(Le(file, 10, 4), 54u);        // pixels follow the two headers
  EXPECT_EQ(Le(file, 14, 4), 40u);        // BITMAPINFOHEADER
  EXPECT_EQ(Le(file, 18, 4), c.width);
  EXPECT_EQ(Le(file, 22, 4), c.height);  // positive: bottom-up rows
  EXPECT_EQ(Le(file, 26, 2), 1u);
  EXPECT_EQ(Le(file, 28, 2), 24u);
  EXPECT_EQ(Le(file, 30, 4), 0u);  // BI_RGB
  EXPECT_EQ(Le(file, 34, 4), c.fileSize - 54);
}

TEST_P(BitmapFileTest, IsTheSameOnEveryCall) { EXPECT_EQ(GetParam().make(), GetParam().make()); }

INSTANTIATE_TEST_SUITE_P(WelcomeWindowPictures, BitmapFileTest,
                         testing::Values(BitmapCase{"Emblem", EmblemBitmapFile, 97, 97, 28380},
                                         BitmapCase{"Banner", BannerBitmapFile, 200, 80, 48054}),
                         [](const testing::TestParamInfo<BitmapCase>& info) {
                           return std::string(info.param.name);
                         });

struct Pixel {
  int r, g, b;
};

// Pixel (x, y), y from the top, of a 24-bit bottom-up bitmap file.
Pixel BitmapPixel(const Bytes& file, int x, int y) {
  const int width = static_cast<int>(Le(file, 18, 4)), height = static_cast<int>(Le(file, 22, 4));
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  const std::size_t at =
      54 + static_cast<std::size_t>(height - 1 - y) * stride + static_cast<std::size_t>(x) * 3;
  return {file.at(at + 2), file.at(at + 1), file.at(at)};
}

TEST(EmblemTest, CornersAreTheLeftPanelsLavenderSoTheEmblemBlendsIn) {
  const Bytes file = EmblemBitmapFile();
  for (const auto& [x, y] : {std::pair{0, 0}, {96, 0}, {0, 96}, {96, 96}}) {
    const Pixel p = BitmapPixel(file, x, y);
    EXPECT_EQ(p.r, 0xF7) << x << "," << y;
    EXPECT_EQ(p.g, 0xF4) << x << "," << y;
    EXPECT_EQ(p.b, 0xFF) << x << "," << y;
  }
  // The two pad bytes after the last row are zeros.
  EXPECT_EQ(file[28378], 0);
  EXPECT_EQ(file[28379], 0);
}

TEST(BannerTest, KeepsTheLightLetteringOutOfTheEightClippedTopRows) {
  const Bytes file = BannerBitmapFile();
  const auto isLight = [](Pixel p) { return p.r > 200 && p.g > 200 && p.b > 200; };
  int lightBelow = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 200; ++x) {
      const bool light = isLight(BitmapPixel(file, x, y));
      if (y < 8) {
        ASSERT_FALSE(light) << x << "," << y;
      } else if (light) {
        ++lightBelow;
      }
    }
  }
  EXPECT_GT(lightBelow, 500);  // the name is there, below the clipped rows
}

TEST(ProgramIconTest, FileHoldsOne32By32SixteenColourImageOf744Bytes) {
  const Bytes file = ProgramIconFile();
  ASSERT_EQ(file.size(), 766u);
  EXPECT_EQ(Le(file, 0, 2), 0u);
  EXPECT_EQ(Le(file, 2, 2), 1u);  // an icon
  EXPECT_EQ(Le(file, 4, 2), 1u);  // one image
  EXPECT_EQ(file[6], 32);
  EXPECT_EQ(file[7], 32);
  EXPECT_EQ(file[8], 16);
  EXPECT_EQ(Le(file, 10, 2), 1u);
  EXPECT_EQ(Le(file, 12, 2), 4u);
  EXPECT_EQ(Le(file, 14, 4), 744u);
  EXPECT_EQ(Le(file, 18, 4), 22u);
  const Bytes image = ProgramIconImage();
  EXPECT_EQ(Bytes(file.begin() + 22, file.end()), image);

  ASSERT_EQ(image.size(), 744u);
  EXPECT_EQ(Le(image, 0, 4), 40u);
  EXPECT_EQ(Le(image, 4, 4), 32u);
  EXPECT_EQ(Le(image, 8, 4), 64u);  // colour and mask rows together
  EXPECT_EQ(Le(image, 14, 2), 4u);
}

TEST(ProgramIconTest, GroupNamesTheImageByItsId) {
  const Bytes group = ProgramIconGroup(30001);
  ASSERT_EQ(group.size(), 20u);
  EXPECT_EQ(Le(group, 2, 2), 1u);
  EXPECT_EQ(Le(group, 4, 2), 1u);
  EXPECT_EQ(group[6], 32);
  EXPECT_EQ(group[7], 32);
  EXPECT_EQ(group[8], 16);
  EXPECT_EQ(Le(group, 12, 2), 4u);
  EXPECT_EQ(Le(group, 14, 4), 744u);
  EXPECT_EQ(Le(group, 18, 2), 30001u);
}

TEST(ProgramIconTest, MaskShowsTheRoundCrestAndTransparentPixelsAreBlack) {
  const Bytes image = ProgramIconImage();
  constexpr std::size_t kColours = 40 + 64, kMask = kColours + 512;
  // Rows are stored bottom-up; y here counts from the top.
  const auto transparent = [&](int x, int y) {
    return (image[kMask + (31 - y) * 4 + x / 8] >> (7 - x % 8) & 1) != 0;
  };
  const auto colour = [&](int x, int y) {
    return image[kColours + (31 - y) * 16 + x / 2] >> (x % 2 == 0 ? 4 : 0) & 0xF;
  };
  EXPECT_TRUE(transparent(0, 0));
  EXPECT_TRUE(transparent(31, 0));
  EXPECT_TRUE(transparent(0, 31));
  EXPECT_TRUE(transparent(31, 31));
  EXPECT_FALSE(transparent(16, 16));
  EXPECT_FALSE(transparent(16, 1));  // top of the rim
  EXPECT_FALSE(transparent(1, 16));  // left of the rim
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      // Drawn over the screen with XOR: anything but black would show.
      if (transparent(x, y)) {
        EXPECT_EQ(colour(x, y), 0) << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace tarnvel::art
