// The two decisions on a target: what was found there before anything is written (versions compare
// as one 64-bit number, high word first; bytes only without a version); what a refused write means.
#include "install/replace_rule.h"

#include <gtest/gtest.h>

namespace tarnvel {

TEST(DecideTarget, ComparesWholeVersionsThenBytesWhereAVersionIsMissingAndPutsProtectionFirst) {
  using O = TargetOutcome;
  const std::optional<std::uint64_t> none;
  // Protected, installed and payload versions; whether the target holds the payload's bytes (other
  // bytes and a target that cannot be read alike: no); the outcome; how often they are read.
  const std::tuple<TargetFound, bool, O, int> cases[] = {
      {{false, 0x0006000100620000, 0x00060001005F002D}, false, O::kKeepNewer, 0},  // 6.1.98.0
      {{false, 0x00060001005F002E, 0x00060001005F002D}, false, O::kKeepNewer, 0},  // last word
      {{false, 0x00050009FFFFFFFF, 0x0006000000000000}, true, O::kWrite, 0},       // versions rule
      {{false, 0x00060001005F002D, 0x00060001005F002D}, false, O::kKeepSame, 0},
      {{false, 0, 0}, false, O::kKeepSame, 0},
      {{false, none, 0x00060001005F002D}, false, O::kWrite, 1},
      {{false, 0xFFFFFFFFFFFFFFFF, none}, false, O::kWrite, 1},
      {{false, none, none}, false, O::kWrite, 1},
      {{false, none, none}, true, O::kKeepSameBytes, 1},
      {{false, none, 0x00060001005F002D}, true, O::kKeepSameBytes, 1},  // one side only
      {{false, 0x00060001005F002D, none}, true, O::kKeepSameBytes, 1},
      {{true, 0x0001000000000000, 0x00060001005F002D}, false, O::kProtected, 0},
      {{true, none, none}, true, O::kProtected, 0},
  };
  int row = 0;
  for (const auto& [found, same, outcome, expectedReads] : cases) {
    SCOPED_TRACE("row " + std::to_string(row++));
    int reads = 0;
    EXPECT_EQ(DecideTarget(found, [&, same = same] { return ++reads, same; }), outcome);
    EXPECT_EQ(reads, expectedReads);
  }
}

TEST(ClassifyRefusal, OnlyAnOpenRefusedForAnotherProgramsHoldWaitsForTheRestart) {
  using S = OutputStep;
  const std::pair<OutputFailure, RefusedWrite> rows[] = {
      {{S::kOpen, 32}, RefusedWrite::kInUse},      // sharing violation
      {{S::kOpen, 33}, RefusedWrite::kInUse},      // lock violation
      {{S::kOpen, 1224}, RefusedWrite::kInUse},    // a mapped image
      {{S::kOpen, 5}, RefusedWrite::kFailure},     // access denied
      {{S::kOpen, 170}, RefusedWrite::kFailure},   // another output open
      {{S::kWrite, 33}, RefusedWrite::kFailure},   // too late to wait
      {{S::kRename, 32}, RefusedWrite::kFailure},  // likewise
      {{S::kSecurity, 32}, RefusedWrite::kFailure},
  };
  for (const auto& [failure, expected] : rows) {
    EXPECT_EQ(ClassifyRefusal(failure), expected) << int(failure.step) << "/" << failure.error;
  }
}

}  // namespace tarnvel
