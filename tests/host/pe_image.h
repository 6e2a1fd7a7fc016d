// Windows images made in memory for the tests: the headers, one resource section and in it a
// version record, laid out as the linker and windres lay them, with only the fields the reader
// looks at. The offsets of the parts are kept so that a test can damage any field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "install/image_version.h"

namespace tarnvel::test {

struct PeImage {
  std::string bytes;
  // File offsets: the headers, then the resource tree (three directories, each with its first entry
  // behind its 16 bytes, the data entry, the record).
  std::size_t dos = 0, coff = 0, optional = 0, directoryCount = 0, resourceEntry = 0;
  std::size_t section = 0, root = 0, names = 0, languages = 0, leaf = 0, record = 0;

  void Put(std::size_t at, std::uint32_t value, int width = 4) {
    for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  }
};

// `extraRootIds` more root entries follow type 16, all leading to its directory.
inline PeImage BuildPe(std::uint64_t version, bool pe32Plus = false,
                       std::uint16_t extraRootIds = 0) {
  PeImage p;
  const std::uint32_t address = 0x1000, optionalSize = pe32Plus ? 240 : 224, recordSize = 92;
  p.coff = 0x40;
  p.optional = p.coff + 24;
  p.directoryCount = p.optional + (pe32Plus ? 108 : 92);
  p.resourceEntry = p.directoryCount + 4 + 2 * 8;
  p.section = p.optional + optionalSize;
  p.root = 0x200;
  p.names = p.root + 16 + 8 * (1 + std::size_t{extraRootIds});
  p.languages = p.names + 24;
  p.leaf = p.languages + 24;
  p.record = p.leaf + 16;
  const auto into = [&](std::size_t at) { return static_cast<std::uint32_t>(at - p.root); };
  const std::uint32_t treeSize = into(p.record) + recordSize;
  p.bytes.assign(p.root + treeSize, '\0');

  p.bytes.replace(0, 2, "MZ");
  p.Put(0x3C, static_cast<std::uint32_t>(p.coff));
  p.bytes.replace(p.coff, 4, "PE\0\0", 4);
  p.Put(p.coff + 6, 1, 2);
  p.Put(p.coff + 20, optionalSize, 2);
  p.Put(p.optional, pe32Plus ? 0x20B : 0x10B, 2);
  p.Put(p.directoryCount, 16);
  p.Put(p.resourceEntry, address);
  p.Put(p.section + 12, address);
  p.Put(p.section + 16, treeSize);
  p.Put(p.section + 20, static_cast<std::uint32_t>(p.root));

  const std::uint32_t subdirectory = 0x80000000u;
  p.Put(p.root + 14, 1 + extraRootIds, 2);
  for (std::uint32_t i = 0; i <= extraRootIds; ++i) {
    p.Put(p.root + 16 + 8 * i, 16 + i);
    p.Put(p.root + 20 + 8 * i, subdirectory | into(p.names));
  }
  p.Put(p.names + 14, 1, 2);
  p.Put(p.names + 16, 1);
  p.Put(p.names + 20, subdirectory | into(p.languages));
  p.Put(p.languages + 14, 1, 2);
  p.Put(p.languages + 16, 0x409);
  p.Put(p.languages + 20, into(p.leaf));
  p.Put(p.leaf, address + into(p.record));
  p.Put(p.leaf + 4, recordSize);

  p.Put(p.record, recordSize, 2);
  p.Put(p.record + 2, 52, 2);
  const char key[] = "VS_VERSION_INFO";
  for (std::size_t i = 0; i < sizeof key; ++i) p.Put(p.record + 6 + 2 * i, key[i], 2);
  p.Put(p.record + 40, 0xFEEF04BDu);
  p.Put(p.record + 48, static_cast<std::uint32_t>(version >> 32));
  p.Put(p.record + 52, static_cast<std::uint32_t>(version));
  return p;
}

// A target or payload of a version, for the tests of the install run.
inline std::string VersionedImage(std::uint64_t version) { return BuildPe(version).bytes; }

// Well above what any path through the reader takes, far below a scan of a large directory.
constexpr std::size_t kImageReadLimit = 40;
constexpr std::size_t kImageByteLimit = 8192;

// Bytes in memory that count how often and how much they are read.
class CountingImageBytes : public ImageBytesInMemory {
 public:
  explicit CountingImageBytes(const std::string& image)
      : ImageBytesInMemory(reinterpret_cast<const std::uint8_t*>(image.data()), image.size()) {}
  explicit CountingImageBytes(std::string&&) = delete;  // would outlive its bytes
  bool Read(std::uint64_t offset, void* out, std::size_t size) override {
    ++reads;
    bytesRead += size;
    return ImageBytesInMemory::Read(offset, out, size);
  }
  std::size_t reads = 0, bytesRead = 0;
};

}  // namespace tarnvel::test
