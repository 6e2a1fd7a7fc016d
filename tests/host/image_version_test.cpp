// The file version read from an image's bytes: good images give theirs, and every damaged,
// truncated or hostile one gives none, in a few small reads.
#include "install/image_version.h"

#include <gtest/gtest.h>

#include "pe_image.h"

namespace tarnvel::test {
namespace {

constexpr std::uint64_t kVersion = 0x0006000100620002ull;

void ExpectVersion(const std::string& image, std::optional<std::uint64_t> version,
                   const std::string& what) {
  CountingImageBytes bytes(image);
  EXPECT_EQ(ImageFileVersion(bytes), version) << what;
  EXPECT_LE(bytes.reads, kImageReadLimit) << what;
  EXPECT_LE(bytes.bytesRead, kImageByteLimit) << what;
}

TEST(ImageFileVersion, GoodImagesGiveTheirVersionAndOnlyTheFieldsItNeedsCount) {
  ExpectVersion(BuildPe(kVersion).bytes, kVersion, "PE32");
  ExpectVersion(BuildPe(kVersion, true).bytes, kVersion, "PE32+");
  // Type 16 is the first of 65535 root entries: a scan would read them all.
  ExpectVersion(BuildPe(kVersion, false, 0xFFFE).bytes, kVersion, "65535 root entries");
  PeImage image = BuildPe(kVersion);
  image.Put(image.directoryCount, 0x7FFFFFFF);
  image.Put(image.coff + 6, 0xFFFF, 2);  // the first 96 are read
  image.bytes.append(96 * 40, '\0');
  ExpectVersion(image.bytes, kVersion, "65535 sections, 0x7FFFFFFF data directories");
}

TEST(ImageFileVersion, DamagedOrTruncatedImagesGiveNoneInFewReads) {
  using P = PeImage;
  const std::tuple<const char*, std::size_t P::*, std::size_t, std::uint32_t, int> cases[] = {
      {"no MZ", &P::dos, 0, 'Z', 1},
      {"e_lfanew past the end", &P::dos, 0x3C, 0x10000, 4},
      {"e_lfanew negative", &P::dos, 0x3C, 0x80000000u, 4},
      {"no PE signature", &P::coff, 2, 'X', 1},
      {"ROM optional header", &P::optional, 0, 0x107, 2},
      {"two data directories", &P::directoryCount, 0, 2, 4},
      {"no sections", &P::coff, 6, 0, 2},
      {"section table past the end", &P::coff, 20, 0xFFF0, 2},
      {"65535 sections, the table past the end", &P::coff, 6, 0xFFFF, 2},
      {"resources in no section", &P::resourceEntry, 0, 0x5000, 4},
      {"raw data past the end", &P::section, 20, 0x7FFFFFFF, 4},
      {"raw data at 4 GiB", &P::section, 20, 0xFFFFFFFFu, 4},
      {"raw data shorter than the tree", &P::section, 16, 0x30, 4},
      {"no RT_VERSION", &P::root, 16, 24, 4},
      {"no VS_VERSION_INFO", &P::names, 16, 2, 4},
      {"type entry is data", &P::root, 23, 0, 1},
      {"name entry is data", &P::names, 23, 0, 1},
      {"language entry is a directory", &P::languages, 23, 0x80, 1},
      {"type entry loops to the root", &P::root, 20, 0x80000000u, 4},
      {"name entry loops to its directory", &P::names, 20, 0x80000018u, 4},
      {"entry offset 0x7FFFFFFF", &P::root, 20, 0xFFFFFFFFu, 4},
      {"no language", &P::languages, 14, 0, 2},
      {"root of 65535 named and 65535 ID entries", &P::root, 12, 0xFFFFFFFFu, 4},
      {"name directory of 65535 ID entries", &P::names, 14, 0xFFFF, 2},
      {"record in no section", &P::leaf, 0, 0x9000, 4},
      {"data size 0xFFFFFFFF", &P::leaf, 4, 0xFFFFFFFFu, 4},
      {"data size short of the fixed info", &P::leaf, 4, 91, 4},
      {"wLength short of the fixed info", &P::record, 0, 91, 2},
      {"wLength past the data", &P::record, 0, 93, 2},
      {"wValueLength 51", &P::record, 2, 51, 2},
      {"wrong key", &P::record, 6 + 2 * 14, 'X', 2},
      {"key without its terminator", &P::record, 6 + 2 * 15, 'X', 2},
      {"wrong signature", &P::record, 40, 0xFEEF04BCu, 4},
  };
  for (bool pe32Plus : {false, true}) {
    const std::string kind = pe32Plus ? ", PE32+" : ", PE32";
    for (const auto& [name, part, at, value, width] : cases) {
      PeImage image = BuildPe(kVersion, pe32Plus);
      image.Put(image.*part + at, value, width);
      ExpectVersion(image.bytes, std::nullopt, name + kind);
    }
    // Each prefix its own allocation, so that ASan sees a read past it.
    const std::string whole = BuildPe(kVersion, pe32Plus).bytes;
    for (std::size_t size = 0; size < whole.size(); ++size) {
      ExpectVersion(whole.substr(0, size), std::nullopt, std::to_string(size) + " bytes" + kind);
    }
  }
  // The section table moved up over the resource entry's size: that lies past the optional header.
  PeImage image = BuildPe(kVersion);
  const std::size_t table = image.resourceEntry + 4;
  image.bytes.replace(table, 40, image.bytes.substr(image.section, 40));
  image.Put(image.coff + 20, static_cast<std::uint32_t>(table - image.optional), 2);
  ExpectVersion(image.bytes, std::nullopt, "resource entry past the optional header");
}

}  // namespace
}  // namespace tarnvel::test
