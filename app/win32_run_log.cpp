#include "app/win32_run_log.h"

#include <winver.h>

#include <cstdint>
#include <cstring>

#include "install/run_log.h"

namespace tarnvel {

namespace {

constexpr char kLogPrefix[] = "Tarnvel setup ";

// At least `width` digits, zeros in front. By hand: the C runtime's printf
// family would be a quarter of the program.
std::string Padded(unsigned value, std::size_t width) {
  std::string digits = log_line::Decimal(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

// The number after '#' in a log name of the day, 0 when there is none.
unsigned NumberIn(const char* name, std::size_t prefixLength) {
  unsigned number = 0;
  for (const char* c = name + prefixLength; *c >= '0' && *c <= '9'; ++c) {
    if (number > 100000) return 0;
    number = number * 10 + static_cast<unsigned>(*c - '0');
  }
  return number;
}

}  // namespace

bool RunLogFile::Open() {
  tried_ = true;
  char folder[MAX_PATH + 1];
  const DWORD length = ::GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return false;
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  const std::string day = std::string(folder, length) + kLogPrefix + Padded(now.wYear, 4) + "-" +
                          Padded(now.wMonth, 2) + "-" + Padded(now.wDay, 2) + " #";
  unsigned highest = 0;
  WIN32_FIND_DATAA found;
  const UniqueFind search(::FindFirstFileA((day + "*.log").c_str(), &found));
  if (search) {
    const std::size_t prefixLength = day.size() - length;
    do {
      const unsigned number = NumberIn(found.cFileName, prefixLength);
      if (number > highest) highest = number;
    } while (::FindNextFileA(search.Get(), &found));
  }
  // Another run may take a number between the search and the creation.
  for (unsigned number = highest + 1; number <= highest + 20; ++number) {
    file_ = UniqueHandle(::CreateFileA((day + Padded(number, 3) + ".log").c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
    if (file_) return true;
    if (::GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

void RunLogFile::Add(const std::string& line) {
  const DWORD lastError = ::GetLastError();
  if (file_ || (!tried_ && Open())) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string text = Padded(now.wHour, 2) + ":" + Padded(now.wMinute, 2) + ":" +
                             Padded(now.wSecond, 2) + "." + Padded(now.wMilliseconds, 3) + " " +
                             line + "\r\n";
    // One write per line, straight to the system: a run that is killed
    // later still leaves every line before.
    DWORD written = 0;
    if (!::WriteFile(file_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
      file_.Reset();
  }
  ::SetLastError(lastError);
}

std::string OwnFileVersion() {
  const HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_VERSION);
  const HGLOBAL loaded = found != nullptr ? ::LoadResource(nullptr, found) : nullptr;
  const auto* data = static_cast<const std::uint8_t*>(loaded ? ::LockResource(loaded) : nullptr);
  if (data == nullptr) return "unknown";
  const DWORD size = ::SizeofResource(nullptr, found);
  // VS_FIXEDFILEINFO begins with its signature, on a 32-bit boundary after
  // the record's header and key.
  for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, data + at, sizeof info);
    if (info.dwSignature != VS_FFI_SIGNATURE) continue;
    return log_line::Decimal(HIWORD(info.dwFileVersionMS)) + "." +
           log_line::Decimal(LOWORD(info.dwFileVersionMS)) + "." +
           log_line::Decimal(HIWORD(info.dwFileVersionLS)) + "." +
           log_line::Decimal(LOWORD(info.dwFileVersionLS));
  }
  return "unknown";
}

}  // namespace tarnvel
