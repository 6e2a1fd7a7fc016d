// The two decisions on a target: what was found there before anything is
// written (versions compare as one 64-bit number, high word first), and what
// a refused write means.
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

TEST(ClassifyRefusal, OnlyAnOpenRefusedForAnotherProgramsHoldWaitsForTheRestart) {
  const struct {
    OutputStep step;
    std::uint32_t error;
    RefusedWrite expected;
  } rows[] = {
      {OutputStep::kOpen, 32, RefusedWrite::kInUse},      // sharing violation
      {OutputStep::kOpen, 33, RefusedWrite::kInUse},      // lock violation
      {OutputStep::kOpen, 1224, RefusedWrite::kInUse},    // a mapped image
      {OutputStep::kOpen, 5, RefusedWrite::kFailure},     // access denied
      {OutputStep::kOpen, 170, RefusedWrite::kFailure},   // another output open
      {OutputStep::kWrite, 33, RefusedWrite::kFailure},   // too late to wait
      {OutputStep::kRename, 32, RefusedWrite::kFailure},  // likewise
      {OutputStep::kSecurity, 32, RefusedWrite::kFailure},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ClassifyRefusal({row.step, row.error}), row.expected)
        << int(row.step) << "/" << row.error;
  }
}

}  // namespace
}  // namespace tarnvel
