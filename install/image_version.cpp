#include "install/image_version.h"

#include <algorithm>
#include <cstring>

#include "app/number_text.h"

namespace tarnvel {
namespace {

// The most sections Windows XP loads; the components have a handful.
constexpr std::uint32_t kMaxSections = 96;
constexpr std::size_t kSectionHeaderSize = 40;

// The signature, the COFF header and the optional header up to the end of a
// PE32+ resource directory entry, in one read. An image with a version record
// is longer than that: its section table comes after.
constexpr std::size_t kCoffSize = 24;
constexpr std::size_t kHeadersSize = kCoffSize + 136;

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVsVersionInfo = 1;  // the name GetFileVersionInfo asks for
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::size_t kDirectorySize = 16;
constexpr std::size_t kEntrySize = 8;
// Entries read in one piece; a larger run of IDs is first narrowed by binary
// search, so that a directory declaring 65535 of them costs a dozen reads.
constexpr std::uint32_t kEntryPiece = 32;

// VS_VERSIONINFO up to the end of its VS_FIXEDFILEINFO: wLength, wValueLength,
// wType, L"VS_VERSION_INFO" and its terminator, padding to 32 bits, the fixed info.
constexpr char kVersionKey[] = "VS_VERSION_INFO";
constexpr std::size_t kKeyOffset = 6;
constexpr std::size_t kFixedOffset = 40;
constexpr std::uint32_t kFixedSize = 52;
constexpr std::uint32_t kVersionHeadSize = kFixedOffset + kFixedSize;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t Le32(const std::uint8_t* p) {
  return Le16(p) | static_cast<std::uint32_t>(Le16(p + 2)) << 16;
}

struct Section {
  std::uint32_t address;
  std::uint32_t rawSize;
  std::uint32_t rawPointer;
};

// Reads through the section table as the loader would place the image, without
// placing it. Every size and offset is checked in 64 bits before it is used.
class ImageReader {
 public:
  explicit ImageReader(ImageBytes& bytes) : bytes_(bytes) {}

  std::optional<std::uint64_t> FileVersion() {
    const std::optional<std::uint32_t> root = ReadHeaders();
    if (!root) return std::nullopt;
    // Type, name, language: three levels and no more, so that a directory
    // pointing back up cannot keep the reader going.
    const std::optional<std::uint32_t> type = FindId(*root, kRtVersion);
    if (!type || !(*type & kSubdirectory)) return std::nullopt;
    const std::optional<std::uint32_t> name =
        FindId(*root + std::uint64_t{*type & ~kSubdirectory}, kVsVersionInfo);
    if (!name || !(*name & kSubdirectory)) return std::nullopt;
    const std::optional<std::uint32_t> language =
        FirstEntry(*root + std::uint64_t{*name & ~kSubdirectory});
    if (!language || (*language & kSubdirectory)) return std::nullopt;

    std::uint8_t leaf[16];
    if (!ReadAt(*root + std::uint64_t{*language}, leaf, sizeof leaf)) return std::nullopt;
    return ReadVersionRecord(Le32(leaf), Le32(leaf + 4));
  }

 private:
  // The resource directory's address, with the section table read.
  std::optional<std::uint32_t> ReadHeaders() {
    std::uint8_t dos[64];
    if (!bytes_.Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
    const std::uint64_t pe = Le32(dos + 0x3C);
    std::uint8_t headers[kHeadersSize];
    if (!bytes_.Read(pe, headers, sizeof headers) || std::memcmp(headers, "PE\0\0", 4) != 0) {
      return std::nullopt;
    }
    const std::uint32_t sectionCount = Le16(headers + 6);
    const std::uint32_t optionalSize = Le16(headers + 20);
    const std::uint8_t* optional = headers + kCoffSize;
    std::size_t directoryCountAt = 0;
    switch (Le16(optional)) {
      case 0x10B:  // PE32
        directoryCountAt = 92;
        break;
      case 0x20B:  // PE32+
        directoryCountAt = 108;
        break;
      default:
        return std::nullopt;
    }
    const std::size_t resourceAt = directoryCountAt + 4 + 2 * 8;
    if (Le32(optional + directoryCountAt) <= 2 || optionalSize < resourceAt + 8) {
      return std::nullopt;
    }

    sectionCount_ = std::min(sectionCount, kMaxSections);
    std::uint8_t table[kMaxSections * kSectionHeaderSize];
    if (!bytes_.Read(pe + kCoffSize + optionalSize, table, sectionCount_ * kSectionHeaderSize)) {
      return std::nullopt;
    }
    for (std::uint32_t i = 0; i < sectionCount_; ++i) {
      const std::uint8_t* header = table + i * kSectionHeaderSize;
      sections_[i] = {Le32(header + 12), Le32(header + 16), Le32(header + 20)};
    }
    return Le32(optional + resourceAt);
  }

  // Reads `size` bytes at `address` when one section's raw data holds them all.
  bool ReadAt(std::uint64_t address, void* out, std::size_t size) {
    const std::optional<std::uint64_t> offset = FileOffset(address, size);
    return offset && bytes_.Read(*offset, out, size);
  }

  std::optional<std::uint64_t> FileOffset(std::uint64_t address, std::uint64_t size) const {
    if (address > 0xFFFFFFFFu) return std::nullopt;
    for (std::uint32_t i = 0; i < sectionCount_; ++i) {
      const Section& s = sections_[i];
      if (address < s.address) continue;
      const std::uint64_t into = address - s.address;
      if (into <= s.rawSize && size <= s.rawSize - into) return s.rawPointer + into;
    }
    return std::nullopt;
  }

  // The OffsetToData of the entry with `id` in the directory at `address`. IDs
  // follow the named entries in ascending order, as Windows' own lookup
  // expects: a directory out of order finds nothing.
  std::optional<std::uint32_t> FindId(std::uint64_t address, std::uint32_t id) {
    std::uint8_t directory[kDirectorySize];
    if (!ReadAt(address, directory, sizeof directory)) return std::nullopt;
    const std::uint64_t ids =
        address + kDirectorySize + std::uint64_t{Le16(directory + 12)} * kEntrySize;
    std::uint32_t first = 0;
    std::uint32_t end = Le16(directory + 14);
    std::uint8_t entries[kEntryPiece * kEntrySize];
    while (end - first > kEntryPiece) {
      const std::uint32_t middle = first + (end - first) / 2;
      if (!ReadAt(ids + std::uint64_t{middle} * kEntrySize, entries, kEntrySize)) {
        return std::nullopt;
      }
      const std::uint32_t found = Le32(entries);
      if (found == id) return Le32(entries + 4);
      if (found < id) {
        first = middle + 1;
      } else {
        end = middle;
      }
    }
    if (!ReadAt(ids + std::uint64_t{first} * kEntrySize, entries, (end - first) * kEntrySize)) {
      return std::nullopt;
    }
    for (std::uint32_t i = 0; i < end - first; ++i) {
      if (Le32(entries + i * kEntrySize) == id) return Le32(entries + i * kEntrySize + 4);
    }
    return std::nullopt;
  }

  // The OffsetToData of the directory's first entry, named or not.
  std::optional<std::uint32_t> FirstEntry(std::uint64_t address) {
    std::uint8_t directory[kDirectorySize + kEntrySize];
    if (!ReadAt(address, directory, sizeof directory)) return std::nullopt;
    if (Le16(directory + 12) == 0 && Le16(directory + 14) == 0) return std::nullopt;
    return Le32(directory + kDirectorySize + 4);
  }

  std::optional<std::uint64_t> ReadVersionRecord(std::uint32_t address, std::uint32_t size) {
    // The whole record must lie in its section, though only its head is read.
    if (size < kVersionHeadSize || !FileOffset(address, size)) return std::nullopt;
    std::uint8_t record[kVersionHeadSize];
    if (!ReadAt(address, record, sizeof record)) return std::nullopt;
    const std::uint32_t length = Le16(record);
    if (length < kVersionHeadSize || length > size || Le16(record + 2) < kFixedSize) {
      return std::nullopt;
    }
    for (std::size_t i = 0; i < sizeof kVersionKey; ++i) {
      if (Le16(record + kKeyOffset + 2 * i) != static_cast<unsigned char>(kVersionKey[i])) {
        return std::nullopt;
      }
    }
    const std::uint8_t* fixed = record + kFixedOffset;
    if (Le32(fixed) != kFixedSignature) return std::nullopt;
    return std::uint64_t{Le32(fixed + 8)} << 32 | Le32(fixed + 12);
  }

  ImageBytes& bytes_;
  Section sections_[kMaxSections] = {};
  std::uint32_t sectionCount_ = 0;
};

}  // namespace

bool ImageBytesInMemory::Read(std::uint64_t offset, void* out, std::size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  if (size > 0) std::memcpy(out, data_ + offset, size);
  return true;
}

std::optional<std::uint64_t> ImageFileVersion(ImageBytes& image) {
  return ImageReader(image).FileVersion();
}

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
