#include "app/win32_run_log.h"

#include <winver.h>

#include <cstdint>
#include <cstring>

#include "app/number_text.h"
#include "app/win32_text.h"

namespace tarnvel {

namespace {

constexpr char kLogPrefix[] = "Tarnvel setup ";
// Beside the logs; no log's pattern matches it.
constexpr char kLastNumberName[] = "Tarnvel setup.last";

// Notepad on older Windows and CMTrace take a file without it for the ANSI
// code page.
constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// The number after '#' in a log name of the day, 0 when there is none.
unsigned NumberIn(const char* name, std::size_t prefixLength) {
  unsigned number = 0;
  for (const char* c = name + prefixLength; *c >= '0' && *c <= '9'; ++c) {
    if (number > 100000) return 0;
    number = number * 10 + static_cast<unsigned>(*c - '0');
  }
  return number;
}

// The day's last number lives on in a file of its own, so that a number is
// never taken twice in a day, not even after the newest log was deleted (a
// collector that fetched and removed it would take a new one for the old).
// Held without sharing from the search until the new log exists: runs take
// their numbers one after the other.
class LastNumber {
 public:
  LastNumber(const std::string& path, const std::string& day) : day_(day) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      file_ = UniqueHandle(::CreateFileW(Utf16From(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_ || ::GetLastError() != ERROR_SHARING_VIOLATION) break;
      ::Sleep(20);  // another run is taking its number
    }
  }
  // The number it holds for `day_`, 0 for another day or none.
  unsigned Read() {
    char text[32];
    DWORD read = 0;
    if (!file_ || !::ReadFile(file_.Get(), text, sizeof text - 1, &read, nullptr)) return 0;
    const std::string held(text, read);
    return held.compare(0, day_.size(), day_) == 0 ? NumberIn(held.c_str(), day_.size()) : 0;
  }
  void Write(unsigned number) {
    const std::string text = day_ + NumberText(number, 10, 3);
    DWORD written = 0;
    if (file_ && ::SetFilePointer(file_.Get(), 0, nullptr, FILE_BEGIN) == 0 &&
        ::WriteFile(file_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
      ::SetEndOfFile(file_.Get());
  }

 private:
  std::string day_;  // "2026-12-07 #"
  UniqueHandle file_;
};

}  // namespace

bool RunLogFile::Open() {
  tried_ = true;
  const std::string folder =
      PathFromSystem([](LPWSTR buffer, UINT size) { return ::GetTempPathW(size, buffer); });
  if (folder.empty()) return false;
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  std::string date;
  AppendNumber(date, now.wYear, 10, 4);
  date += '-';
  AppendNumber(date, now.wMonth, 10, 2);
  date += '-';
  AppendNumber(date, now.wDay, 10, 2);
  date += " #";
  const std::string day = folder + kLogPrefix + date;
  LastNumber last(folder + kLastNumberName, date);
  unsigned highest = last.Read();
  WIN32_FIND_DATAW found;
  const UniqueFind search(::FindFirstFileW(Utf16From(day + "*.log").c_str(), &found));
  if (search) {
    const std::size_t prefixLength = day.size() - folder.size();
    do {
      const unsigned number = NumberIn(Utf8From(found.cFileName).c_str(), prefixLength);
      if (number > highest) highest = number;
    } while (::FindNextFileW(search.Get(), &found));
  }
  // A run that could not hold the last number may take one in between.
  for (unsigned number = highest + 1; number <= highest + 20; ++number) {
    file_ = UniqueHandle(::CreateFileW(Utf16From(day + NumberText(number, 10, 3) + ".log").c_str(),
                                       GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file_) {
      last.Write(number);
      DWORD written = 0;
      if (!::WriteFile(file_.Get(), kUtf8ByteOrderMark, sizeof kUtf8ByteOrderMark - 1, &written,
                       nullptr))
        file_.Reset();
      return static_cast<bool>(file_);
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

namespace {

// "hh:mm:ss.mmm ", the local time that begins each line.
FixedText TimeOfLine() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  FixedText text;
  const WORD fields[] = {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
  for (int i = 0; i < 4; ++i) {
    const char separator[] = {"::. "[i], '\0'};
    text.AppendNumber(fields[i], 10, i < 3 ? 2 : 3).Append(separator);
  }
  return text;
}

}  // namespace

void RunLogFile::Add(const std::string& line) {
  const DWORD lastError = ::GetLastError();
  if (file_ || (!tried_ && Open())) {
    const std::string text = TimeOfLine().Text() + line + "\r\n";
    Write(text.data(), text.size());
  }
  ::SetLastError(lastError);
}

void RunLogFile::AddWithoutHeap(const char* line) {
  if (!file_) return;
  FixedText text = TimeOfLine();
  text.Append(line).Append("\r\n");
  Write(text.Text(), text.Size());
}

void RunLogFile::Write(const char* text, std::size_t size) {
  // One write per line, straight to the system: a run that is killed later
  // still leaves every line before.
  DWORD written = 0;
  if (!::WriteFile(file_.Get(), text, static_cast<DWORD>(size), &written, nullptr)) file_.Reset();
}

std::string OwnFileVersion() {
  const HRSRC found =
      ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));  // RT_VERSION
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
