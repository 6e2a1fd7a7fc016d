// The components the setup carries, in the order the install run walks them.
#pragma once

#include <array>
#include <cstdint>

namespace tarnvel {

struct Component {
  const char* name;         // as listed: file name, payload type, texts
  std::uint32_t size;       // bytes
  const char* fileVersion;  // a.b.c.d
  const char* description;  // from the vendor's version record
};

constexpr std::size_t kComponentCount = 28;

extern const std::array<Component, kComponentCount> kManifest;

}  // namespace tarnvel
