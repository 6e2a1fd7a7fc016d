// The file version read from an image's bytes: good images give theirs, and
// every damaged, truncated or hostile one gives none, in a few small reads.
#include "install/image_version.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "pe_image.h"

namespace tarnvel::test {
namespace {

constexpr std::uint64_t kVersion = 0x0006000100620002ull;
// Well above the reads of any path through the reader, far below a scan of a
// large directory.
constexpr std::size_t kReadLimit = 40;

PeImage Image(bool pe32Plus, std::uint16_t extraRootIds = 0) {
  PeOptions options;
  options.pe32Plus = pe32Plus;
  options.extraRootIds = extraRootIds;
  return BuildPe(options);
}

TEST(ImageFileVersion, GoodImagesGiveTheirVersion) {
  EXPECT_EQ(VersionOf(Image(false).bytes), kVersion);
  EXPECT_EQ(VersionOf(Image(true).bytes), kVersion);
  EXPECT_EQ(VersionOf(VersionedImage(0x0002000000000D5Eull)), 0x0002000000000D5Eull);
  EXPECT_EQ(VersionOf(UnversionedImage()), std::nullopt);
  EXPECT_EQ(VersionText(kVersion), "6.1.98.2");
  EXPECT_EQ(VersionText(0xFFFF0000FFFF0000ull), "65535.0.65535.0");
}

TEST(ImageFileVersion, EveryShorterPrefixGivesNone) {
  for (bool pe32Plus : {false, true}) {
    const std::string image = Image(pe32Plus).bytes;
    for (std::size_t size = 0; size < image.size(); ++size) {
      // Its own allocation, so that ASan sees a read past the prefix.
      const std::string prefix = image.substr(0, size);
      EXPECT_EQ(VersionOf(prefix), std::nullopt) << "pe32+ " << pe32Plus << ", size " << size;
    }
  }
}

TEST(ImageFileVersion, DamagedImagesGiveNoneInFewReads) {
  struct Case {
    const char* name;
    void (*damage)(PeImage&);
    std::optional<std::uint64_t> version = std::nullopt;
  };
  const Case cases[] = {
      // Headers.
      {"no MZ", [](PeImage& p) { p.bytes[0] = 'Z'; }},
      {"e_lfanew at the end", [](PeImage& p) { p.Put32(0x3C, std::uint32_t(p.bytes.size())); }},
      {"e_lfanew huge", [](PeImage& p) { p.Put32(0x3C, 0xFFFFFFF0u); }},
      {"e_lfanew negative", [](PeImage& p) { p.Put32(0x3C, 0x80000000u); }},
      {"no PE signature", [](PeImage& p) { p.bytes[p.coff + 2] = 'X'; }},
      {"ROM optional header", [](PeImage& p) { p.Put16(p.optional, 0x107); }},
      {"two data directories", [](PeImage& p) { p.Put32(p.directoryCount, 2); }},
      {"0x7FFFFFFF data directories", [](PeImage& p) { p.Put32(p.directoryCount, 0x7FFFFFFF); },
       kVersion},
      {"resource entry past the optional header",
       [](PeImage& p) {
         // The section table moves up over the entry's size; its address stays.
         const std::size_t table = p.resourceEntry + 4;
         p.bytes.replace(table, 40, p.bytes.substr(p.section, 40));
         p.Put16(p.coff + 20, std::uint16_t(table - p.optional));
       }},
      // Sections.
      {"no sections", [](PeImage& p) { p.Put16(p.coff + 6, 0); }},
      {"section table past the end", [](PeImage& p) { p.Put16(p.coff + 20, 0xFFF0); }},
      {"65535 sections, the table past the end", [](PeImage& p) { p.Put16(p.coff + 6, 0xFFFF); }},
      {"65535 sections, 96 of them in the file",
       [](PeImage& p) {
         p.Put16(p.coff + 6, 0xFFFF);
         p.bytes.append(96 * 40, '\0');
       },
       kVersion},
      {"resources in no section", [](PeImage& p) { p.Put32(p.resourceEntry, 0x5000); }},
      {"raw data past the end", [](PeImage& p) { p.Put32(p.section + 20, 0x7FFFFFFF); }},
      {"raw data at 4 GiB",
       [](PeImage& p) {
         p.Put32(p.section + 16, 0xFFFFFFFFu);
         p.Put32(p.section + 20, 0xFFFFFFFFu);
       }},
      {"raw data shorter than the tree", [](PeImage& p) { p.Put32(p.section + 16, 0x30); }},
      {"section at the top of the address space",
       [](PeImage& p) {
         p.Put32(p.section + 12, 0xFFFFFFF0u);
         p.Put32(p.resourceEntry, 0xFFFFFFF0u);
       }},
      // The resource tree.
      {"no RT_VERSION", [](PeImage& p) { p.Put32(p.root + 16, 24); }},
      {"no VS_VERSION_INFO", [](PeImage& p) { p.Put32(p.names + 16, 2); }},
      {"type entry is data",
       [](PeImage& p) { p.Put32(p.root + 20, std::uint32_t(p.names - p.root)); }},
      {"name entry is data",
       [](PeImage& p) { p.Put32(p.names + 20, std::uint32_t(p.languages - p.root)); }},
      {"language entry is a directory",
       [](PeImage& p) { p.Put32(p.languages + 20, 0x80000000u | std::uint32_t(p.leaf - p.root)); }},
      {"type entry loops to the root", [](PeImage& p) { p.Put32(p.root + 20, 0x80000000u); }},
      {"name entry loops to its directory",
       [](PeImage& p) { p.Put32(p.names + 20, 0x80000000u | std::uint32_t(p.names - p.root)); }},
      {"entry offset 0x7FFFFFFF", [](PeImage& p) { p.Put32(p.root + 20, 0xFFFFFFFFu); }},
      {"no language", [](PeImage& p) { p.Put16(p.languages + 14, 0); }},
      {"root of 65535 named and 65535 ID entries",
       [](PeImage& p) {
         p.Put16(p.root + 12, 0xFFFF);
         p.Put16(p.root + 14, 0xFFFF);
       }},
      {"name directory of 65535 ID entries", [](PeImage& p) { p.Put16(p.names + 14, 0xFFFF); }},
      // The data entry and the record.
      {"record in no section", [](PeImage& p) { p.Put32(p.leaf, 0x9000); }},
      {"data size 0xFFFFFFFF", [](PeImage& p) { p.Put32(p.leaf + 4, 0xFFFFFFFFu); }},
      {"data size short of the fixed info", [](PeImage& p) { p.Put32(p.leaf + 4, 91); }},
      {"wLength short of the fixed info", [](PeImage& p) { p.Put16(p.record, 91); }},
      {"wLength past the data", [](PeImage& p) { p.Put16(p.record, 93); }},
      {"wValueLength 51", [](PeImage& p) { p.Put16(p.record + 2, 51); }},
      {"wrong key", [](PeImage& p) { p.Put16(p.record + 6 + 2 * 14, 'X'); }},
      {"key without its terminator", [](PeImage& p) { p.Put16(p.record + 6 + 2 * 15, 'X'); }},
      {"wrong signature", [](PeImage& p) { p.Put32(p.record + 40, 0xFEEF04BCu); }},
  };
  for (bool pe32Plus : {false, true}) {
    for (const Case& c : cases) {
      PeImage image = Image(pe32Plus);
      c.damage(image);
      CountingImageBytes bytes(reinterpret_cast<const std::uint8_t*>(image.bytes.data()),
                               image.bytes.size());
      EXPECT_EQ(ImageFileVersion(bytes), c.version) << c.name << ", pe32+ " << pe32Plus;
      EXPECT_LE(bytes.reads, kReadLimit) << c.name;
    }
  }
}

TEST(ImageFileVersion, ALargeDirectoryIsSearchedInFewReads) {
  // Type 16 is the first of 65535 root entries: a scan would read them all.
  PeImage image = Image(false, 0xFFFE);
  CountingImageBytes bytes(reinterpret_cast<const std::uint8_t*>(image.bytes.data()),
                           image.bytes.size());
  EXPECT_EQ(ImageFileVersion(bytes), kVersion);
  EXPECT_LE(bytes.reads, kReadLimit);
  EXPECT_LE(bytes.bytesRead, 8192u);
}

#ifdef TARNVEL_STANDIN_FILES
// The stand-ins of the Windows build beside this one: images from windres and
// the MinGW linker, each of the version the component table gives it.
TEST(ImageFileVersion, StandInsGiveTheirTableVersion) {
  struct Component {
    const char* name;
    const char* version;
  };
  const Component components[] = {
#include "standin_versions.inc"
  };
  int read = 0;
  for (const Component& c : components) {
    std::ifstream file(std::string(TARNVEL_STANDIN_FILES) + "/" + c.name, std::ios::binary);
    if (!file) continue;
    std::ostringstream image;
    image << file.rdbuf();
    const std::optional<std::uint64_t> version = VersionOf(image.str());
    ASSERT_TRUE(version) << c.name;
    EXPECT_EQ(VersionText(*version), c.version) << c.name;
    ++read;
  }
  if (read == 0) GTEST_SKIP() << "no Windows build at " << TARNVEL_STANDIN_FILES;
}
#endif

}  // namespace
}  // namespace tarnvel::test
