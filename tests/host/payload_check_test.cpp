// The configure-time check of the component files, run as the build runs it
// on a folder of minimal images made to the component table.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

namespace {

namespace fs = std::filesystem;

// One 32-bit i386 PE header ("MZ", e_lfanew, "PE\0\0", machine, magic),
// padded to `size` bytes; `text` makes it plain text instead.
void WriteComponent(const fs::path& path, std::uintmax_t size, bool text) {
  std::string image(0x5A, '\0');
  image.replace(0, 2, "MZ");
  image[0x3C] = 0x40;
  image.replace(0x40, 4, std::string("PE\0\0\x4C\x01", 6));
  image.replace(0x58, 2, "\x0B\x01");
  std::ofstream(path, std::ios::binary) << (text ? "not an image" : image);
  if (!text) fs::resize_file(path, size);
}

TEST(PayloadCheck, FailsOnAMissingOrNonImageFileAndWarnsOfAWrongSize) {
  struct Case {
    const char* name;  // the component spoiled
    const char* how;
    int status;  // of the check
    const char* output;
  };
  const Case cases[] = {
      {"Flash.ocx", "omit", 1, "Flash.ocx: not found in"},
      {"msdxm.ocx", "text", 1, "msdxm.ocx: expected a 32-bit i386 PE image.*not begin with \"MZ\""},
      {"agentctl.dll", "size", 0, "agentctl.dll: expected 204288 bytes, found 1000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    const fs::path dir = fs::path(TARNVEL_TEST_DIR) / "payload_check";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ifstream table(TARNVEL_SOURCE_DIR "/install/manifest.tsv");
    std::string name, size, rest;
    while (std::getline(table, name, '\t') && std::getline(table, size, '\t') &&
           std::getline(table, rest)) {
      const bool spoiled = name == c.name;
      if (spoiled && c.how == std::string("omit")) continue;
      WriteComponent(dir / name, spoiled ? 1000 : std::stoul(size),
                     spoiled && c.how == std::string("text"));
    }
    const std::string command = TARNVEL_CMAKE " -DPAYLOAD_DIR=" + dir.string() +
                                " -P " TARNVEL_SOURCE_DIR "/payload/verify_payload.cmake 2>&1";
    FILE* check = popen(command.c_str(), "r");
    ASSERT_TRUE(check);
    std::string output;
    for (int ch; (ch = std::fgetc(check)) != EOF;) output += static_cast<char>(ch);
    const int status = pclose(check);
    EXPECT_EQ(WEXITSTATUS(status), c.status) << output;
    EXPECT_TRUE(std::regex_search(output, std::regex(c.output))) << output;
    fs::remove_all(dir);
  }
}

}  // namespace
