// What the run does with a component whose target is present: the one place
// that decides it from what was found there, and from a write refused.
#pragma once

#include <cstdint>
#include <functional>
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
  // A version missing on either side, but the target holds exactly the
  // payload: kept, nothing asked; registered.
  kKeepSameBytes,
  kWrite,  // asked or not by the policy, then written and registered
};

// `sameBytes` tells whether the target holds exactly the payload's bytes. It
// reads the target, so it is asked only when the versions cannot decide.
TargetOutcome DecideTarget(const TargetFound& found, const std::function<bool()>& sameBytes);

enum class RefusedWrite {
  kInUse,    // another program holds the target: replaced at the next restart
  kFailure,  // counted as a failed copy
};

RefusedWrite ClassifyRefusal(const OutputFailure& failure);

}  // namespace tarnvel
