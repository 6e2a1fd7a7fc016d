// Writes the setup's pictures into a folder for the resource script:
//   program.ico        the program icon as an icon file
//   program_icon.img   its one image, bound as an icon resource
//   program_icon.grp   the icon group that names that image
//   emblem.bmp, banner.bmp
// Usage: make_art <folder>
#include <fstream>
#include <iostream>
#include <string>

#include "ui/art/pictures.h"
#include "ui/resource_ids.h"

namespace {

bool WriteFile(const std::string& path, const tarnvel::art::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::cerr << "make_art: cannot write " << path << "\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_art <folder>\n";
    return 2;
  }
  const std::string folder = argv[1];
  using namespace tarnvel::art;
  const bool written =
      WriteFile(folder + "/program.ico", ProgramIconFile()) &&
      WriteFile(folder + "/program_icon.img", ProgramIconImage()) &&
      WriteFile(folder + "/program_icon.grp", ProgramIconGroup(TARNVEL_IDI_PROGRAM_IMAGE)) &&
      WriteFile(folder + "/emblem.bmp", EmblemBitmapFile()) &&
      WriteFile(folder + "/banner.bmp", BannerBitmapFile());
  return written ? 0 : 1;
}
