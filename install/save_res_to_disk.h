#pragma once

#include <cstdint>
#include <string>

#include "app/platform.h"

namespace tarnvel {

// Writes the payload `resType`/`resNum` over the existing file
// `destFileName`. The destination holds, at every moment, either its previous
// bytes or exactly the payload. Any failure adds 1 to `errCount` (once per
// call) and gives false; a missing destination is never created.
bool SaveResToDisk(Platform& platform, std::int16_t& errCount, std::int16_t resNum,
                   const std::string& resType, const std::string& destFileName);

}  // namespace tarnvel
