#include "install/manifest.h"

namespace tarnvel {

// Generated at configure time from install/manifest.tsv, the one list of the
// components that both the build (payload, resources) and the program read.
const std::array<Component, kComponentCount> kManifest = {{
#include "manifest_table.inc"
}};

}  // namespace tarnvel
