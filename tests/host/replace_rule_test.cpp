// The rule itself: versions compare as one 64-bit number, high word first.
#include "install/replace_rule.h"

#include <gtest/gtest.h>

namespace tarnvel {
namespace {

TEST(DecideTarget, ComparesWholeVersionsAndPutsProtectionFirst) {
  using O = TargetOutcome;
  const std::optional<std::uint64_t> none;
  const struct {
    bool isProtected;
    std::optional<std::uint64_t> installed, payload;
    O outcome;
  } cases[] = {
      {false, 0x0006000100620000, 0x00060001005F002D, O::kKeepNewer},  // 6.1.98.0 over 6.1.95.45
      {false, 0x00060001005F002E, 0x00060001005F002D, O::kKeepNewer},  // last word decides
      {false, 0x00050009FFFFFFFF, 0x0006000000000000, O::kWrite},      // first word decides
      {false, 0x00060001005F002D, 0x00060001005F002D, O::kKeepSame},
      {false, 0, 0, O::kKeepSame},
      {false, none, 0x00060001005F002D, O::kWrite},
      {false, 0xFFFFFFFFFFFFFFFF, none, O::kWrite},
      {true, 0x0001000000000000, 0x00060001005F002D, O::kProtected},
      {true, none, none, O::kProtected},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecideTarget({c.isProtected, c.installed, c.payload}), c.outcome)
        << c.isProtected << " " << c.installed.value_or(~0ull) << " " << c.payload.value_or(~0ull);
  }
}

}  // namespace
}  // namespace tarnvel
