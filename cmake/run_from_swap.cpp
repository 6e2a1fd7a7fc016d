// Marks a linked PE image to be run from the page file when started from a
// network share or a removable drive, and puts its header checksum right
// again. GNU ld has no option for either flag.
//
//   run_from_swap <image>
//
// Checks that its checksum agrees with the linker's before changing
// anything, so that the one it writes is the one Windows would compute.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t kRemovableRunFromSwap = 0x0400;  // IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP
constexpr std::uint16_t kNetRunFromSwap = 0x0800;        // IMAGE_FILE_NET_RUN_FROM_SWAP

std::uint32_t Read(const std::vector<unsigned char>& image, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | image[at + i];
  return value;
}

void Write(std::vector<unsigned char>& image, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) image[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// The sum of the image's 16-bit words with the carries folded in, the
// checksum field left out, plus the file's length.
std::uint32_t Checksum(const std::vector<unsigned char>& image, std::size_t checksumAt) {
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at < image.size(); at += 2) {
    if (at == checksumAt || at == checksumAt + 2) continue;
    sum += at + 1 < image.size() ? Read(image, at, 2) : image[at];
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return ((sum & 0xFFFF) + (sum >> 16)) + static_cast<std::uint32_t>(image.size());
}

int Fail(const std::string& path, const char* why) {
  std::fprintf(stderr, "run_from_swap: %s: %s\n", path.c_str(), why);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage", "run_from_swap <image>");
  const std::string path = argv[1];
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> image{std::istreambuf_iterator<char>(in), {}};
  if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return Fail(path, "not an image");
  const std::size_t pe = Read(image, 0x3C, 4);
  if (pe + 24 + 68 > image.size() || Read(image, pe, 4) != 0x00004550)
    return Fail(path, "no PE header");
  const std::size_t characteristicsAt = pe + 4 + 18;
  const std::size_t checksumAt = pe + 24 + 64;  // the same in PE32 and PE32+
  const std::uint32_t linked = Read(image, checksumAt, 4);
  if (linked != 0 && linked != Checksum(image, checksumAt))
    return Fail(path, "its checksum is not the one this tool computes");
  Write(image, characteristicsAt,
        Read(image, characteristicsAt, 2) | kRemovableRunFromSwap | kNetRunFromSwap, 2);
  Write(image, checksumAt, Checksum(image, checksumAt), 4);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  return out ? 0 : Fail(path, "cannot be written");
}
