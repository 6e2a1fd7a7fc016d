#include "install/replace_rule.h"

namespace tarnvel {

// Windows Installer's and Inno Setup's rule: a protected file is never
// touched, and an installed version at or above the payload's is kept. A
// file without a readable version on either side is written, as before the
// rule: a packager's unversioned payload must still reach the machine. Unless
// it is already there, byte for byte (Windows Installer keeps an unversioned
// file whose hash matches): rewriting it would give it a new identity and
// could meet a program holding it.
TargetOutcome DecideTarget(const TargetFound& found, const std::function<bool()>& sameBytes) {
  if (found.protectedBySystem) return TargetOutcome::kProtected;
  if (!found.installedVersion || !found.payloadVersion)
    return sameBytes() ? TargetOutcome::kKeepSameBytes : TargetOutcome::kWrite;
  if (*found.installedVersion > *found.payloadVersion) return TargetOutcome::kKeepNewer;
  if (*found.installedVersion == *found.payloadVersion) return TargetOutcome::kKeepSame;
  return TargetOutcome::kWrite;
}

// Only an open that another program's hold refused waits for the restart:
// a sharing or lock violation, or a mapped image. Access denied is not "in
// use" (a restart would not change it), nor is anything later than the open.
RefusedWrite ClassifyRefusal(const OutputFailure& failure) {
  constexpr std::uint32_t kSharingViolation = 32, kLockViolation = 33, kUserMappedFile = 1224;
  if (failure.step != OutputStep::kOpen) return RefusedWrite::kFailure;
  switch (failure.error) {
    case kSharingViolation:
    case kLockViolation:
    case kUserMappedFile:
      return RefusedWrite::kInUse;
    default:
      return RefusedWrite::kFailure;
  }
}

}  // namespace tarnvel
