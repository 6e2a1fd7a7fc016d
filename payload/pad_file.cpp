// Copies a built stand-in to its component's exact size, zeros after the
// image (Windows ignores bytes past the last section).
// Usage: pad_file <input> <output> <size>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: pad_file <input> <output> <size>\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.eof() && in.fail()) {
    std::cerr << "pad_file: cannot read " << argv[1] << "\n";
    return 1;
  }
  const unsigned long size = std::strtoul(argv[3], nullptr, 10);
  if (bytes.size() > size) {
    std::cerr << "pad_file: " << argv[1] << " is " << bytes.size() << " bytes, more than " << size
              << "\n";
    return 1;
  }
  bytes.resize(size, 0);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::cerr << "pad_file: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
