// The file version of a Windows image, read from its bytes: the binary
// version (VS_FIXEDFILEINFO dwFileVersionMS and LS) of its version record.
// The image is input the program does not control: a truncated, damaged or
// hostile file reads as "no version", never past its bytes and in bounded
// time, and the image is never loaded as code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tarnvel {

// Random access to an image's bytes. Read fills `out` with exactly `size`
// bytes from `offset`, or fails (past the end included).
class ImageBytes {
 public:
  virtual ~ImageBytes() = default;
  virtual bool Read(std::uint64_t offset, void* out, std::size_t size) = 0;
};

// Bytes in memory.
class ImageBytesInMemory : public ImageBytes {
 public:
  ImageBytesInMemory(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Read(std::uint64_t offset, void* out, std::size_t size) override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// dwFileVersionMS in the high half, dwFileVersionLS in the low half, so that
// versions compare as numbers. None when there is no readable version record.
std::optional<std::uint64_t> ImageFileVersion(ImageBytes& image);
std::optional<std::uint64_t> ImageFileVersion(const std::uint8_t* data, std::size_t size);

// "6.1.98.46".
std::string VersionText(std::uint64_t version);

}  // namespace tarnvel
