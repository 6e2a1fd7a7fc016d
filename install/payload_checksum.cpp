#include "install/payload_checksum.h"

#include <array>

namespace tarnvel {

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrc32Table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    table[i] = crc;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kCrc32Table = MakeCrc32Table();

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
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) crc = kCrc32Table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
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
