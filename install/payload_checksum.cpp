#include "install/payload_checksum.h"

namespace tarnvel {

namespace {

// Slicing by 8: table k gives the CRC of a byte followed by k zero bytes, so
// eight bytes fold in with eight independent lookups instead of eight
// dependent ones. The 8 KiB of tables are made on first use, on the heap, and
// kept to the end: the executable need not carry them. One thread only, so
// no guard.
using Crc32Slices = std::uint32_t (*)[256];
Crc32Slices crcSlices = nullptr;

Crc32Slices MakeCrc32Slices() {
  const Crc32Slices t = new std::uint32_t[8][256];
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    t[0][i] = crc;
  }
  for (std::uint32_t i = 0; i < 256; ++i)
    for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::uint32_t ReadLe32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// The record's name field against `typeName`, case aside: the name, then
// nothing but NULs.
bool NameFieldIs(const std::uint8_t* field, const std::string& typeName) {
  if (typeName.empty() || typeName.size() >= kChecksumNameSize) return false;
  for (std::size_t i = 0; i < kChecksumNameSize; ++i) {
    const char expected = i < typeName.size() ? AsciiUpper(typeName[i]) : '\0';
    if (static_cast<char>(field[i]) != expected) return false;
  }
  return true;
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  if (crcSlices == nullptr) crcSlices = MakeCrc32Slices();
  const Crc32Slices t = crcSlices;
  std::uint32_t crc = 0xFFFFFFFFu;
  for (; size >= 8; data += 8, size -= 8) {
    const std::uint32_t low = ReadLe32(data) ^ crc;
    const std::uint32_t high = ReadLe32(data + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^
          t[0][high >> 24];
  }
  for (; size > 0; ++data, --size) crc = t[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

bool MatchesChecksum(const std::uint8_t* table, std::size_t tableSize, const std::string& typeName,
                     int id, const std::uint8_t* data, std::size_t size) {
  for (std::size_t at = 0; at + kChecksumRecordSize <= tableSize; at += kChecksumRecordSize) {
    const std::uint8_t* record = table + at;
    if (!NameFieldIs(record, typeName) ||
        ReadLe32(record + kChecksumNameSize) != static_cast<std::uint32_t>(id))
      continue;
    // The first record of a name and id is the one: a second cannot vouch
    // for bytes the first rejects.
    return ReadLe32(record + kChecksumNameSize + 4) == size &&
           ReadLe32(record + kChecksumNameSize + 8) == Crc32(data, size);
  }
  return false;
}

}  // namespace tarnvel
