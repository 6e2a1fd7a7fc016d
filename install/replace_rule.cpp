#include "install/replace_rule.h"

namespace tarnvel {

// Windows Installer's and Inno Setup's rule: a protected file is never
// touched, and an installed version at or above the payload's is kept. A
// file without a readable version on either side is written, as before the
// rule: a packager's unversioned payload must still reach the machine.
TargetOutcome DecideTarget(const TargetFound& found) {
  if (found.protectedBySystem) return TargetOutcome::kProtected;
  if (!found.installedVersion || !found.payloadVersion) return TargetOutcome::kWrite;
  if (*found.installedVersion > *found.payloadVersion) return TargetOutcome::kKeepNewer;
  if (*found.installedVersion == *found.payloadVersion) return TargetOutcome::kKeepSame;
  return TargetOutcome::kWrite;
}

}  // namespace tarnvel
