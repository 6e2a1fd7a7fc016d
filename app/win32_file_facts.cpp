// What the run learns about a present target before it decides on it: its
// version, whether it holds the payload's very bytes, whether Windows
// protects it, and where it truly lives.
#include <algorithm>
#include <cstring>

#include "app/win32_platform.h"
#include "app/win32_startup.h"
#include "install/image_version.h"

namespace tarnvel {

namespace {

// An image read piece by piece through a handle that shares everything: a
// program holding the file open, for writing too, is not held up.
class ImageFile : public ImageBytes {
 public:
  explicit ImageFile(HANDLE file) : file_(file) {}
  bool Read(std::uint64_t offset, void* out, std::size_t size) override {
    if (size > MAXDWORD) return false;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return ::ReadFile(file_, out, static_cast<DWORD>(size), &read, &at) && read == size;
  }

 private:
  HANDLE file_;
};

// Opened for reading only, and shared with every other program, writers and
// deleters included: a target is read without holding anyone up.
UniqueHandle OpenShared(const std::string& path) {
  return UniqueHandle(::CreateFileW(Utf16From(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

std::optional<std::uint64_t> Win32Platform::FileVersion(const std::string& path) {
  const UniqueHandle file = OpenShared(path);
  if (!file) return std::nullopt;
  ImageFile image(file.Get());
  return ImageFileVersion(image);
}

bool Win32Platform::FileHolds(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const UniqueHandle file = OpenShared(path);
  LARGE_INTEGER fileSize;
  if (!file || !::GetFileSizeEx(file.Get(), &fileSize) ||
      static_cast<std::uint64_t>(fileSize.QuadPart) != size)
    return false;
  // In pieces, so that a difference ends the reading where it shows.
  ImageFile image(file.Get());
  std::vector<std::uint8_t> piece(std::min<std::size_t>(size, 64 * 1024));
  for (std::size_t at = 0; at < size; at += piece.size()) {
    const std::size_t length = std::min(piece.size(), size - at);
    if (!image.Read(at, piece.data(), length) || std::memcmp(piece.data(), data + at, length) != 0)
      return false;
  }
  return true;
}

FileProtection Win32Platform::FileProtected(const std::string& path) {
  using SfcIsFileProtectedFunction = BOOL(WINAPI*)(HANDLE, LPCWSTR);
  // Loaded on first need, for the rest of the run.
  static const HMODULE library = LoadSystemLibrary("sfc.dll");
  static const auto isProtected =
      reinterpret_cast<SfcIsFileProtectedFunction>(reinterpret_cast<void (*)()>(
          library != nullptr ? ::GetProcAddress(library, "SfcIsFileProtected") : nullptr));
  FileProtection answer;
  if (library == nullptr) {
    answer.asked = FileProtection::Asked::kNoLibrary;
  } else if (isProtected == nullptr) {
    // A library of that name that is not the system's own, say: the log names it.
    answer.asked = FileProtection::Asked::kNoFunction;
    answer.library = SystemDirectory() + "\\sfc.dll";
  } else {
    answer.isProtected = isProtected(nullptr, Utf16From(path).c_str()) != FALSE;
  }
  return answer;
}

std::string Win32Platform::Wow64SystemDirectory() {
  // Both are missing on systems older than 64-bit Windows itself.
  const auto isWow64Process =
      SystemFunction<BOOL(WINAPI*)(HANDLE, PBOOL)>(L"kernel32.dll", "IsWow64Process");
  const auto getWow64Directory =
      SystemFunction<UINT(WINAPI*)(LPWSTR, UINT)>(L"kernel32.dll", "GetSystemWow64DirectoryW");
  BOOL wow64 = FALSE;
  if (isWow64Process == nullptr || getWow64Directory == nullptr ||
      !isWow64Process(::GetCurrentProcess(), &wow64) || !wow64)
    return "";
  return PathFromSystem(getWow64Directory);
}

}  // namespace tarnvel
