#include "app/win32_run_log.h"

#include <winver.h>

#include <cstdint>
#include <cstring>

#include "app/number_text.h"

namespace tarnvel {

namespace {

constexpr char kLogPrefix[] = "Tarnvel setup ";

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
  std::string day(folder, length);
  day += kLogPrefix;
  AppendNumber(day, now.wYear, 10, 4);
  day += '-';
  AppendNumber(day, now.wMonth, 10, 2);
  day += '-';
  AppendNumber(day, now.wDay, 10, 2);
  day += " #";
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
    file_ = UniqueHandle(::CreateFileA((day + NumberText(number, 10, 3) + ".log").c_str(),
                                       GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
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
    // "hh:mm:ss.mmm ", then the line.
    std::string text;
    const WORD fields[] = {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    for (int i = 0; i < 4; ++i) {
      AppendNumber(text, fields[i], 10, i < 3 ? 2 : 3);
      text += "::. "[i];
    }
    text += line;
    text += "\r\n";
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
    return NumberText(HIWORD(info.dwFileVersionMS)) + "." +
           NumberText(LOWORD(info.dwFileVersionMS)) + "." +
           NumberText(HIWORD(info.dwFileVersionLS)) + "." +
           NumberText(LOWORD(info.dwFileVersionLS));
  }
  return "unknown";
}

}  // namespace tarnvel
