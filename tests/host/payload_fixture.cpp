// Makes a folder of component files for the payload check's tests: one small
// 32-bit DLL image per line of the component table, with the table's size and
// a version record carrying the table's file version, then spoils it as told.
//
// Usage: payload_fixture <manifest.tsv> <folder> [change...]
//   upper                  every file name in upper case
//   omit:NAME              leave NAME out
//   text:NAME              NAME is a text file, not an image
//   machine:NAME:HEX       NAME is built for another machine
//   magic:NAME:HEX         NAME has another optional header magic
//   size:NAME:BYTES        NAME has another size
//   version:NAME:A.B.C.D   NAME carries another file version
//   twin:NAME              NAME is there twice, the second in upper case
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& out, std::size_t at, std::uint32_t value, std::size_t size) {
  if (out.size() < at + size) out.resize(at + size, 0);
  for (std::size_t i = 0; i < size; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t VersionHalf(const std::string& version, int half) {
  std::uint32_t parts[4] = {};
  std::istringstream in(version);
  std::string part;
  for (int i = 0; i < 4 && std::getline(in, part, '.'); ++i) {
    parts[i] = static_cast<std::uint32_t>(std::stoul(part));
  }
  return parts[half * 2] << 16 | parts[half * 2 + 1];
}

// A DLL image whose one section, .rsrc, holds one version record.
Bytes Image(const std::string& version, std::uint32_t machine, std::uint32_t magic) {
  constexpr std::size_t kPe = 0x40, kOptional = kPe + 24, kSections = kOptional + 0xE0;
  constexpr std::size_t kRaw = 0x200;
  constexpr std::uint32_t kRva = 0x1000;
  Bytes out(kRaw, 0);
  out[0] = 'M';
  out[1] = 'Z';
  Put(out, 0x3C, kPe, 4);
  Put(out, kPe, 0x00004550, 4);  // "PE\0\0"
  Put(out, kPe + 4, machine, 2);
  Put(out, kPe + 6, 1, 2);        // sections
  Put(out, kPe + 20, 0xE0, 2);    // optional header size
  Put(out, kPe + 22, 0x2102, 2);  // executable, 32-bit, DLL
  Put(out, kOptional, magic, 2);
  Put(out, kOptional + 92, 16, 4);  // data directories
  Put(out, kOptional + 96 + 2 * 8, kRva, 4);
  Put(out, kOptional + 96 + 2 * 8 + 4, 0xB4, 4);
  const char name[] = ".rsrc";
  for (std::size_t i = 0; i < sizeof name - 1; ++i) out[kSections + i] = name[i];
  Put(out, kSections + 8, 0xB4, 4);
  Put(out, kSections + 12, kRva, 4);
  Put(out, kSections + 16, 0x200, 4);
  Put(out, kSections + 20, kRaw, 4);

  // Type 16, name 1, language 1033, then the data entry and the record.
  const std::size_t r = kRaw;
  Put(out, r + 14, 1, 2);
  Put(out, r + 16, 16, 4);
  Put(out, r + 20, 0x80000018, 4);
  Put(out, r + 0x18 + 14, 1, 2);
  Put(out, r + 0x18 + 16, 1, 4);
  Put(out, r + 0x18 + 20, 0x80000030, 4);
  Put(out, r + 0x30 + 14, 1, 2);
  Put(out, r + 0x30 + 16, 1033, 4);
  Put(out, r + 0x30 + 20, 0x48, 4);
  Put(out, r + 0x48, kRva + 0x58, 4);
  Put(out, r + 0x48 + 4, 92, 4);
  const std::size_t record = r + 0x58;
  Put(out, record, 92, 2);
  Put(out, record + 2, 52, 2);
  const char key[] = "VS_VERSION_INFO";
  for (std::size_t i = 0; i < sizeof key; ++i) Put(out, record + 6 + 2 * i, key[i], 2);
  Put(out, record + 40, 0xFEEF04BD, 4);
  Put(out, record + 44, 0x10000, 4);
  Put(out, record + 48, VersionHalf(version, 0), 4);
  Put(out, record + 52, VersionHalf(version, 1), 4);
  out.resize(record + 92, 0);  // the rest of the fixed info stays zero
  return out;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool Write(const fs::path& path, const Bytes& bytes, std::uintmax_t size) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(std::min<std::uintmax_t>(bytes.size(), size)));
    if (!out) return false;
  }
  std::error_code error;
  fs::resize_file(path, size, error);  // zeros, sparse where the file system can
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: payload_fixture <manifest.tsv> <folder> [change...]\n";
    return 2;
  }
  bool upper = false;
  std::map<std::string, std::map<std::string, std::string>> changes;  // name -> kind -> value
  for (int i = 3; i < argc; ++i) {
    const std::string change = argv[i];
    if (change == "upper") {
      upper = true;
      continue;
    }
    const auto first = change.find(':');
    const auto second = change.find(':', first + 1);
    if (first == std::string::npos) {
      std::cerr << "payload_fixture: bad change " << change << "\n";
      return 2;
    }
    const std::string name = change.substr(first + 1, second - first - 1);
    changes[name][change.substr(0, first)] =
        second == std::string::npos ? "" : change.substr(second + 1);
  }

  const fs::path folder = argv[2];
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ifstream table(argv[1]);
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string name, size, version;
    std::getline(fields, name, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, version, '\t');
    auto& change = changes[name];
    if (change.count("omit")) continue;
    const auto value = [&](const char* kind, const std::string& otherwise) {
      return change.count(kind) ? change[kind] : otherwise;
    };
    const std::uint32_t machine = std::stoul(value("machine", "0x14C"), nullptr, 16);
    const std::uint32_t magic = std::stoul(value("magic", "0x10B"), nullptr, 16);
    Bytes bytes = Image(value("version", version), machine, magic);
    if (change.count("text")) {
      const std::string text = "This is not a program.\n";
      bytes.assign(text.begin(), text.end());
    }
    const std::uintmax_t bytesWanted = std::stoull(value("size", size));
    bool written = Write(folder / (upper ? Upper(name) : name), bytes, bytesWanted);
    if (change.count("twin")) written = written && Write(folder / Upper(name), bytes, bytesWanted);
    if (!written) {
      std::cerr << "payload_fixture: cannot write " << name << "\n";
      return 1;
    }
  }
  return 0;
}
