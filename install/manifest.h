// The components the setup carries, in the order the install run walks them.
#pragma once

#include <array>
#include <cstddef>

namespace tarnvel {

// Size, version and description stay in manifest.tsv: the build checks the
// payload against them, and the program needs only the name.
struct Component {
  const char* name;  // as listed: file name, payload type, texts
};

constexpr std::size_t kComponentCount = 28;

extern const std::array<Component, kComponentCount> kManifest;

}  // namespace tarnvel
