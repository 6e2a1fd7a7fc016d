// Writes the checksum table of the payload store from the files actually
// bound into setup.exe, in the order given; the layout is the one
// install/payload_checksum.h reads. Every payload has id 1.
// Usage: payload_checksums <output> <TYPE> <file> [<TYPE> <file> ...]
#include <cctype>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "install/payload_checksum.h"

namespace {

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// False when the name does not fit its field with at least one NUL after it.
bool AppendRecord(std::vector<std::uint8_t>& table, const std::string& typeName,
                  const std::vector<std::uint8_t>& bytes) {
  if (typeName.empty() || typeName.size() >= tarnvel::kChecksumNameSize ||
      typeName.find('\0') != std::string::npos || bytes.size() > 0xFFFFFFFFu)
    return false;
  for (std::size_t i = 0; i < tarnvel::kChecksumNameSize; ++i)
    table.push_back(i < typeName.size() ? static_cast<std::uint8_t>(
                                              std::toupper(static_cast<unsigned char>(typeName[i])))
                                        : 0);
  AppendLe32(table, 1);
  AppendLe32(table, static_cast<std::uint32_t>(bytes.size()));
  AppendLe32(table, tarnvel::Crc32(bytes.data(), bytes.size()));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::cerr << "usage: payload_checksums <output> <TYPE> <file> [<TYPE> <file> ...]\n";
    return 2;
  }
  std::vector<std::uint8_t> table;
  for (int i = 2; i < argc; i += 2) {
    std::ifstream in(argv[i + 1], std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (!in.is_open() || (!in.eof() && in.fail())) {
      std::cerr << "payload_checksums: cannot read " << argv[i + 1] << "\n";
      return 1;
    }
    if (!AppendRecord(table, argv[i], bytes)) {
      std::cerr << "payload_checksums: type name \"" << argv[i] << "\" does not fit in "
                << tarnvel::kChecksumNameSize - 1 << " characters\n";
      return 1;
    }
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(table.data()),
            static_cast<std::streamsize>(table.size()));
  out.close();
  if (!out) {
    std::cerr << "payload_checksums: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
