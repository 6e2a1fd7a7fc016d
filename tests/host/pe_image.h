// Windows images made in memory for the tests: the headers, one .rsrc section
// and in it a version record, laid out as the linker and windres lay them.
// The offsets of the parts are kept so that a test can damage any field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "install/image_version.h"

namespace tarnvel::test {

struct PeOptions {
  std::uint64_t version = 0x0006000100620002ull;
  bool pe32Plus = false;
  bool versionRecord = true;       // false: the resources hold a manifest (type 24) instead
  std::uint16_t extraRootIds = 0;  // more root entries after type 16, all leading to it
};

struct PeImage {
  std::string bytes;
  // File offsets: the headers,
  std::size_t coff = 0;            // "PE\0\0"
  std::size_t optional = 0;        // optional header
  std::size_t directoryCount = 0;  // NumberOfRvaAndSizes
  std::size_t resourceEntry = 0;   // data directory 2: address, size
  std::size_t section = 0;         // the .rsrc section header
  // and the resource tree: three directories, each with its first entry behind
  // its 16 bytes, the data entry and the record.
  std::size_t root = 0, names = 0, languages = 0, leaf = 0, record = 0;

  void Put16(std::size_t at, std::uint16_t value) {
    for (int i = 0; i < 2; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  }
  void Put32(std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  }
};

constexpr std::uint32_t kPeSectionAddress = 0x1000;
constexpr std::size_t kPeSectionFileOffset = 0x200;

inline PeImage BuildPe(const PeOptions& options = {}) {
  PeImage p;
  const std::size_t optionalSize = options.pe32Plus ? 240 : 224;
  p.coff = 0x40;
  p.optional = p.coff + 24;
  p.directoryCount = p.optional + (options.pe32Plus ? 108 : 92);
  p.resourceEntry = p.directoryCount + 4 + 2 * 8;
  p.section = p.optional + optionalSize;
  p.root = kPeSectionFileOffset;
  p.names = p.root + 16 + 8 * (1 + std::size_t{options.extraRootIds});
  p.languages = p.names + 24;
  p.leaf = p.languages + 24;
  p.record = p.leaf + 16;
  const std::uint32_t recordSize = 92;
  const std::uint32_t treeSize = static_cast<std::uint32_t>(p.record + recordSize - p.root);
  p.bytes.assign(p.root + treeSize, '\0');
  const auto rva = [&](std::size_t at) {
    return static_cast<std::uint32_t>(at - p.root + kPeSectionAddress);
  };
  const auto into = [&](std::size_t at) { return static_cast<std::uint32_t>(at - p.root); };

  p.bytes[0] = 'M';
  p.bytes[1] = 'Z';
  p.Put32(0x3C, static_cast<std::uint32_t>(p.coff));
  p.bytes.replace(p.coff, 4, "PE\0\0", 4);
  p.Put16(p.coff + 4, options.pe32Plus ? 0x8664 : 0x14C);
  p.Put16(p.coff + 6, 1);
  p.Put16(p.coff + 20, static_cast<std::uint16_t>(optionalSize));
  p.Put16(p.coff + 22, 0x2102);  // a DLL
  p.Put16(p.optional, options.pe32Plus ? 0x20B : 0x10B);
  p.Put32(p.directoryCount, 16);
  p.Put32(p.resourceEntry, kPeSectionAddress);
  p.Put32(p.resourceEntry + 4, treeSize);
  p.bytes.replace(p.section, 5, ".rsrc");
  p.Put32(p.section + 8, treeSize);
  p.Put32(p.section + 12, kPeSectionAddress);
  p.Put32(p.section + 16, treeSize);
  p.Put32(p.section + 20, static_cast<std::uint32_t>(kPeSectionFileOffset));

  const std::uint32_t subdirectory = 0x80000000u;
  p.Put16(p.root + 14, static_cast<std::uint16_t>(1 + options.extraRootIds));
  for (std::uint32_t i = 0; i <= options.extraRootIds; ++i) {
    p.Put32(p.root + 16 + 8 * i, (options.versionRecord ? 16 : 24) + i);
    p.Put32(p.root + 20 + 8 * i, subdirectory | into(p.names));
  }
  p.Put16(p.names + 14, 1);
  p.Put32(p.names + 16, 1);
  p.Put32(p.names + 20, subdirectory | into(p.languages));
  p.Put16(p.languages + 14, 1);
  p.Put32(p.languages + 16, 0x409);
  p.Put32(p.languages + 20, into(p.leaf));
  p.Put32(p.leaf, rva(p.record));
  p.Put32(p.leaf + 4, recordSize);

  p.Put16(p.record, recordSize);
  p.Put16(p.record + 2, 52);
  const char key[] = "VS_VERSION_INFO";
  for (std::size_t i = 0; i < sizeof key; ++i) p.Put16(p.record + 6 + 2 * i, key[i]);
  p.Put32(p.record + 40, 0xFEEF04BDu);
  p.Put32(p.record + 44, 0x10000);
  p.Put32(p.record + 48, static_cast<std::uint32_t>(options.version >> 32));
  p.Put32(p.record + 52, static_cast<std::uint32_t>(options.version));
  return p;
}

// Images for the tests of the install run: targets and payloads of a version.
inline std::string VersionedImage(std::uint64_t version) {
  PeOptions options;
  options.version = version;
  return BuildPe(options).bytes;
}

inline std::string UnversionedImage() {
  PeOptions options;
  options.versionRecord = false;
  return BuildPe(options).bytes;
}

inline std::optional<std::uint64_t> VersionOf(const std::string& image) {
  return ImageFileVersion(reinterpret_cast<const std::uint8_t*>(image.data()), image.size());
}

// Bytes in memory that count how often and how much they are read.
class CountingImageBytes : public ImageBytesInMemory {
 public:
  using ImageBytesInMemory::ImageBytesInMemory;
  bool Read(std::uint64_t offset, void* out, std::size_t size) override {
    ++reads;
    bytesRead += size;
    return ImageBytesInMemory::Read(offset, out, size);
  }
  std::size_t reads = 0;
  std::size_t bytesRead = 0;
};

}  // namespace tarnvel::test
