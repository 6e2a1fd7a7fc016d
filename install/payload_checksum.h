// Build-time checksums of the payload store. A download cut short or a
// flipped bit can leave setup.exe loadable with a wrong byte in a payload;
// each payload's CRC-32, taken at build time from the very file bound in, is
// kept beside the store so that such a payload is refused instead of written
// over a working component.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnvel {

// The table's resource: RT_RCDATA under this name (payload/setup.rc.in). A
// numbered type with a string name, so it never reads as a store entry.
constexpr const char* kPayloadChecksumsName = "PAYLOAD_CRC32";

// The table is a run of fixed records, all numbers little-endian (written by
// payload/payload_checksums.cpp):
//   type name, upper case, padded with NULs  kChecksumNameSize bytes
//   id                                       4 bytes
//   size in bytes                            4 bytes
//   CRC-32 of the bytes                      4 bytes
constexpr std::size_t kChecksumNameSize = 20;
constexpr std::size_t kChecksumRecordSize = kChecksumNameSize + 12;

// CRC-32 as zip and PNG use it (reflected polynomial 0xEDB88320).
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

// True when `table` has a record for `typeName` (compared without regard to
// case) and `id` whose size and CRC-32 are those of `data`. A payload without
// a record does not match.
bool MatchesChecksum(const std::uint8_t* table, std::size_t tableSize, const std::string& typeName,
                     int id, const std::uint8_t* data, std::size_t size);

}  // namespace tarnvel
