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
// call); a missing destination is never created.
SaveOutcome SaveResToDisk(Platform& platform, std::int16_t& errCount, std::int16_t resNum,
                          const std::string& resType, const std::string& destFileName);

// For a destination in use: has Windows put the payload `name` in place of
// `destFileName` at the next restart and register it after, both named in
// `trueDirectory`, the folder by the path Windows knows it by. A failure adds
// 1 to `errCount` and gives false.
bool QueueResForRestart(Platform& platform, std::int16_t& errCount, const std::string& name,
                        const std::string& destFileName, const std::string& trueDirectory);

}  // namespace tarnvel
