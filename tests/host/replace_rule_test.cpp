// The two decisions on a target: what was found there before anything is
// written (versions compare as one 64-bit number, high word first; bytes only
// without a version), and what a refused write means.
#include "install/replace_rule.h"

#include <gtest/gtest.h>

namespace tarnvel {
namespace {

// Where a version is missing, only the target's bytes can spare it: they are
// read then and only then (what the platform's comparison finds, other bytes
// of the same size or a target it cannot read alike, is the `bytes` column).
TEST(DecideTarget, ComparesWholeVersionsThenBytesWhereAVersionIsMissingAndPutsProtectionFirst) {
  using O = TargetOutcome;
  const std::optional<std::uint64_t> none;
  enum Bytes { kOther, kSame };
  const struct {
    bool isProtected;
    std::optional<std::uint64_t> installed, payload;
    Bytes bytes;
    O outcome;
    bool read;
  } cases[] = {
      {false, 0x0006000100620000, 0x00060001005F002D, kOther, O::kKeepNewer, false},  // 6.1.98.0
      {false, 0x00060001005F002E, 0x00060001005F002D, kOther, O::kKeepNewer, false},  // last word
      {false, 0x00050009FFFFFFFF, 0x0006000000000000, kSame, O::kWrite, false},  // versions rule
      {false, 0x00060001005F002D, 0x00060001005F002D, kOther, O::kKeepSame, false},
      {false, 0, 0, kOther, O::kKeepSame, false},
      {false, none, 0x00060001005F002D, kOther, O::kWrite, true},
      {false, 0xFFFFFFFFFFFFFFFF, none, kOther, O::kWrite, true},
      {false, none, none, kOther, O::kWrite, true},
      {false, none, none, kSame, O::kKeepSameBytes, true},
      {false, none, 0x00060001005F002D, kSame, O::kKeepSameBytes, true},  // one side only
      {false, 0x00060001005F002D, none, kSame, O::kKeepSameBytes, true},
      {true, 0x0001000000000000, 0x00060001005F002D, kOther, O::kProtected, false},
      {true, none, none, kSame, O::kProtected, false},
  };
  for (const auto& c : cases) {
    int reads = 0;
    EXPECT_EQ(DecideTarget({c.isProtected, c.installed, c.payload},
                           [&] { return ++reads, c.bytes == kSame; }),
              c.outcome)
        << c.isProtected << " " << c.installed.value_or(~0ull) << " " << c.payload.value_or(~0ull)
        << " " << c.bytes;
    EXPECT_EQ(reads, c.read ? 1 : 0) << c.installed.value_or(~0ull) << " " << c.bytes;
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
