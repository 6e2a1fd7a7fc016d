#pragma once

#include <cstdint>
#include <string>

#include "app/platform.h"

namespace tarnvel {

enum class SaveOutcome {
  kWritten,
  kFailed,  // counted and logged
  kInUse,   // another program holds the destination: nothing written or counted
};

// Writes the payload `resType`/`resNum` over the existing file
// `destFileName`. The destination holds, at every moment, either its previous
// bytes or exactly the payload. Any failure adds 1 to `errCount` (once per
// call); a missing destination is never created. With `kept`, a written
// destination's old file is kept beside it, for the caller to delete or put
// back, and its path given there; `kept` is left alone otherwise, and empty
// when the old file could not be kept (logged; the write goes on).
SaveOutcome SaveResToDisk(Platform& platform, std::int16_t& errCount, std::int16_t resNum,
                          const std::string& resType, const std::string& destFileName,
                          std::string* kept = nullptr);

// Logs the platform's last failure as one of `name`'s, uncounted.
void LogLastFailure(Platform& platform, const std::string& name);

// Logs the rename of `queued` over the destination `name` queued for the
// restart, and has the restart register it, both named in `trueDirectory`.
// False, the failure left for the caller to log, when the registration
// cannot be queued.
bool RegisterAtRestart(Platform& platform, const std::string& name, const std::string& queued,
                       const std::string& trueDirectory, bool already = false);

// For a destination in use: has Windows put the payload `name` in place of
// `destFileName` at the next restart and register it after, both named in
// `trueDirectory`, the folder by the path Windows knows it by. A failure adds
// 1 to `errCount` and gives false.
bool QueueResForRestart(Platform& platform, std::int16_t& errCount, const std::string& name,
                        const std::string& destFileName, const std::string& trueDirectory);

}  // namespace tarnvel
