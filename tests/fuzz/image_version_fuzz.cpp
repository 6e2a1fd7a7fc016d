// libFuzzer: any bytes give a version or none, never read past their end, in few and small reads
// (for a file on disk each read is a system call). Built with IMAGE_VERSION_SEEDS and without
// libFuzzer, it writes the hand-made images into the folder it is given, as seeds.
#include <cstdlib>
#include <fstream>

#include "host/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of its own, so that ASan sees a read past the end.
  const std::string image(reinterpret_cast<const char*>(data), size);
  tarnvel::test::CountingImageBytes bytes(image);
  tarnvel::ImageFileVersion(bytes);
  if (bytes.reads > tarnvel::test::kImageReadLimit ||
      bytes.bytesRead > tarnvel::test::kImageByteLimit) {
    std::abort();
  }
  return 0;
}

#ifdef IMAGE_VERSION_SEEDS
int main(int argc, char** argv) {
  using namespace tarnvel::test;
  if (argc != 2) return 2;
  const auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(std::string(argv[1]) + "/" + name, std::ios::binary) << bytes;
  };
  const std::uint64_t version = 0x0006000100620002ull;
  write("pe32", BuildPe(version).bytes);
  write("pe32plus", BuildPe(version, true).bytes);
  write("root_of_64", BuildPe(version, false, 63).bytes);
  PeImage unversioned = BuildPe(0);
  unversioned.Put(unversioned.root + 16, 24);  // a manifest where the version was
  write("unversioned", unversioned.bytes);
  return 0;
}
#endif
