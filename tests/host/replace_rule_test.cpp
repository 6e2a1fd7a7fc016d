// What a refused write means for a target: only another program's hold waits for the restart.
#include "install/replace_rule.h"

#include <gtest/gtest.h>

namespace tarnvel {

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
