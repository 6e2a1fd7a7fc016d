// What the run does with a component whose target is present: the one place
// that decides it from what was found there.
#pragma once

#include <cstdint>
#include <optional>

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

}  // namespace tarnvel
