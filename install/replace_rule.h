// What the run does with a component whose target is present: the one place
// that decides it from what was found there, and from a write refused.
#pragma once

#include <cstdint>
#include <optional>

#include "app/platform.h"

namespace tarnvel {

struct TargetFound {
  bool protectedBySystem = false;                 // Windows owns it (file protection)
  std::optional<std::uint64_t> installedVersion;  // none: no readable version
  std::optional<std::uint64_t> payloadVersion;    // none: the payload has no version record
};

enum class TargetOutcome {
  kProtected,  // passed over: nothing asked, written or registered
  kKeepNewer,  // kept byte for byte, nothing asked; registered
  kKeepSame,   // kept byte for byte, nothing asked; registered
  kWrite,      // asked or not by the policy, then written and registered
};

TargetOutcome DecideTarget(const TargetFound& found);

enum class RefusedWrite {
  kInUse,    // another program holds the target: replaced at the next restart
  kFailure,  // counted as a failed copy
};

RefusedWrite ClassifyRefusal(const OutputFailure& failure);

}  // namespace tarnvel
