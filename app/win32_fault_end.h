#pragma once

namespace tarnvel {

// From now on every exception that nothing handles, a hardware one (an access
// violation, an in-page error from an image on a dropped share, a stack
// overflow) included, ends through the unexpected-error report of the
// platform SetUnexpectedErrorPlatform named. Call it on the program's one
// thread.
void EndFaultsThroughUnexpectedError();

}  // namespace tarnvel
