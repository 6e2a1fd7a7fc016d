// Where the build put what the end-to-end programs use. The paths arrive as
// compile definitions in Z:/... form: Wine shows the Unix root as drive Z:.
#pragma once

#include <algorithm>
#include <string>

namespace tarnvel::e2e {

inline std::string WindowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

inline const std::string kSetupExe = WindowsPath(TARNVEL_E2E_SETUP_EXE);
// The component files bound into setup.exe, named as in the manifest.
inline const std::string kPayloadDir = WindowsPath(TARNVEL_E2E_PAYLOAD_DIR);
// The welcome window's banner picture as the build embeds it.
inline const std::string kBannerBmp = WindowsPath(TARNVEL_E2E_BANNER_BMP);

}  // namespace tarnvel::e2e
