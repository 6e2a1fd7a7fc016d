// The configure-time check of the component files, run as the build runs it
// on a folder of minimal images made to the component table.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// A 32-bit i386 PE header ("MZ", e_lfanew, "PE\0\0", machine, magic) padded
// to `size` bytes.
void WriteImage(const fs::path& path, std::uintmax_t size) {
  std::string image(0x5A, '\0');
  image.replace(0, 2, "MZ").replace(0x40, 6, std::string("PE\0\0\x4C\x01", 6));
  image.replace(0x58, 2, "\x0B\x01")[0x3C] = 0x40;
  std::ofstream(path, std::ios::binary) << image;
  fs::resize_file(path, size);
}

TEST(PayloadCheck, FailsOnAMissingOrNonImageFileAndWarnsOfAWrongSize) {
  const struct {
    std::string name, how;
    int status;
    const char* output;
  } cases[] = {
      {"Flash.ocx", "omit", 1, "Flash.ocx: not found in"},
      {"msdxm.ocx", "text", 1, "msdxm.ocx: expected a 32-bit i386 PE image"},
      {"agentctl.dll", "size", 0, "agentctl.dll: expected 204288 bytes, found 1000"},
  };
  const fs::path dir = fs::path(TARNVEL_TEST_DIR) / "payload_check";
  for (const auto& c : cases) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ifstream table(TARNVEL_SOURCE_DIR "/install/manifest.tsv");
    for (std::string name, size, rest; std::getline(table, name, '\t') &&
                                       std::getline(table, size, '\t') &&
                                       std::getline(table, rest);) {
      if (name != c.name) WriteImage(dir / name, std::stoul(size));
      if (name == c.name && c.how == "size") WriteImage(dir / name, 1000);
      if (name == c.name && c.how == "text") std::ofstream(dir / name) << "not an image";
    }
    FILE* check = popen((TARNVEL_CMAKE " -DPAYLOAD_DIR=" + dir.string() +
                         " -P " TARNVEL_SOURCE_DIR "/payload/verify_payload.cmake 2>&1")
                            .c_str(),
                        "r");
    std::string output;
    for (int ch; check && (ch = std::fgetc(check)) != EOF;) output += static_cast<char>(ch);
    EXPECT_EQ(WEXITSTATUS(pclose(check)), c.status) << output;
    EXPECT_NE(output.find(c.output), std::string::npos) << c.how << ": " << output;
  }
  fs::remove_all(dir);
}

}  // namespace
