#include "install/image_version.h"

#include <cstring>

#include "app/number_text.h"

namespace tarnvel {

bool ImageBytesInMemory::Read(std::uint64_t offset, void* out, std::size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  std::memcpy(out, data_ + offset, size);
  return true;
}

std::optional<std::uint64_t> ImageFileVersion(ImageBytes&) { return std::nullopt; }

std::optional<std::uint64_t> ImageFileVersion(const std::uint8_t* data, std::size_t size) {
  ImageBytesInMemory image(data, size);
  return ImageFileVersion(image);
}

std::string VersionText(std::uint64_t version) {
  std::string text;
  for (int shift = 48; shift >= 0; shift -= 16) {
    text += NumberText(static_cast<std::uint32_t>((version >> shift) & 0xFFFF));
    if (shift > 0) text += '.';
  }
  return text;
}

}  // namespace tarnvel
