#include "install/manifest.h"

#include <gtest/gtest.h>

#include <numeric>
#include <set>
#include <string>

namespace tarnvel {
namespace {

TEST(ManifestTest, HoldsTheComponentsInInstallOrder) {
  ASSERT_EQ(kManifest.size(), 28u);
  EXPECT_STREQ(kManifest.front().name, "agentctl.dll");
  EXPECT_STREQ(kManifest[4].name, "COMCTL32.OCX");  // before COMCT332.OCX
  EXPECT_STREQ(kManifest[5].name, "COMCT332.OCX");
  EXPECT_STREQ(kManifest[7].name, "Flash.ocx");
  EXPECT_STREQ(kManifest.back().name, "wshom.ocx");
}

TEST(ManifestTest, SizesAddUpToThePayloadStore) {
  const std::uint64_t total =
      std::accumulate(kManifest.begin(), kManifest.end(), std::uint64_t{0},
                      [](std::uint64_t sum, const Component& c) { return sum + c.size; });
  EXPECT_EQ(total, 9226108u);
  std::uint32_t smallest = ~0u, largest = 0;
  for (const Component& c : kManifest) {
    smallest = std::min(smallest, c.size);
    largest = std::max(largest, c.size);
  }
  EXPECT_EQ(smallest, 22288u);
  EXPECT_EQ(largest, 1388544u);
}

TEST(ManifestTest, NamesAreDistinctWithoutRegardToCase) {
  std::set<std::string> upper;
  for (const Component& c : kManifest) {
    std::string name = c.name;
    for (char& ch : name) ch = static_cast<char>(std::toupper(ch));
    upper.insert(name);
  }
  EXPECT_EQ(upper.size(), kManifest.size());
}

}  // namespace
}  // namespace tarnvel
