// The file presence test, shared by every platform: the run looks at each
// target once and takes both its presence and, for the log, its reason.
#include "app/platform.h"

namespace tarnvel {

std::string PresentFileName(const std::string& path, std::optional<std::uint32_t> attributes) {
  constexpr std::uint32_t kPassedOver = kAttributeHidden | kAttributeSystem | kAttributeDirectory;
  if (!attributes || (*attributes & kPassedOver) != 0) return "";
  const auto separator = path.find_last_of("\\/");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace tarnvel
