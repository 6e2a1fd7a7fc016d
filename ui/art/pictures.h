// The setup's own pictures, drawn by code so that they can be rebuilt and
// reviewed like any other source: the program icon, the welcome window's
// emblem and its banner. Every call gives the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnvel::art {

using Bytes = std::vector<std::uint8_t>;

// The program icon: one 32 x 32 image in 16 colours with a 1-bit mask.
Bytes ProgramIconImage();  // 744 bytes: header, palette, colour and mask bits
Bytes ProgramIconFile();   // the same image as an .ico file: 766 bytes
// The icon group resource that names the image by its resource id.
Bytes ProgramIconGroup(std::uint16_t imageId);

// The welcome window's pictures, as 24-bit bitmap files.
Bytes EmblemBitmapFile();  // 97 x 97, 28,380 bytes
Bytes BannerBitmapFile();  // 200 x 80, 48,054 bytes

}  // namespace tarnvel::art
