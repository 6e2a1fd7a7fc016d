// File output that never leaves a destination half-written, and the sweep of
// what killed runs left behind.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "app/number_text.h"
#include "app/win32_file_security.h"
#include "app/win32_platform.h"
#include "app/win32_startup.h"

namespace tarnvel {

namespace {

std::string DirectoryPartOf(const std::string& path) {
  const auto separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// The next name of the temporary files' pattern beside `destination`.
std::string TemporaryNameBeside(const std::string& destination) {
  static unsigned serial = 0;
  std::string path = DirectoryPartOf(destination) + kTemporaryPrefix;
  AppendNumber(path, GetCurrentProcessId(), 16);
  path += '_';
  AppendNumber(path, ++serial);
  return path + ".tmp";
}

// A new, empty file beside `destination`, open for writing. CREATE_NEW never
// takes over a file that is already there, a leftover of a killed run included.
std::optional<std::pair<std::string, UniqueHandle>> CreateTemporaryBeside(
    const std::string& destination) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = TemporaryNameBeside(destination);
    // No sharing, delete included, until it is renamed or deleted: a sweep by
    // another run cannot take it away meanwhile.
    UniqueHandle file(::CreateFileW(Utf16From(path).c_str(),
                                    GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                    0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return std::make_pair(std::move(path), std::move(file));
    if (GetLastError() != ERROR_FILE_EXISTS) return std::nullopt;
  }
  return std::nullopt;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool WriteAndFlush(HANDLE file, const std::uint8_t* data, std::size_t size) {
  DWORD written = 0;
  return size <= MAXDWORD && ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
         written == size && ::FlushFileBuffers(file);
}

// File names compare without regard to case, as the file system compares them.
std::string Lower(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// Exactly the names CreateTemporaryBeside makes, in lower case.
bool IsTemporaryName(const std::string& name) {
  std::size_t at = 0;
  const auto literal = [&](const char* text) {
    const std::size_t length = std::strlen(text);
    if (name.compare(at, length, text) != 0) return false;
    at += length;
    return true;
  };
  // One to `most` characters out of `allowed`.
  const auto digits = [&](const char* allowed, std::size_t most) {
    const std::size_t end = std::min(name.find_first_not_of(allowed, at), name.size());
    const bool fits = end > at && end - at <= most;
    at = end;
    return fits;
  };
  return literal(kTemporaryPrefix) && digits("0123456789abcdef", 8) && literal("_") &&
         digits("0123456789", 10) && literal(".tmp") && at == name.size();
}

// Every path named in PendingFileRenameOperations, in order: each rename's
// source, then its target (empty for a deletion), without the "\??\" and "!"
// marks. None when that cannot be read.
std::optional<std::vector<std::string>> PendingRenamePaths() {
  constexpr wchar_t kValue[] = L"PendingFileRenameOperations";
  std::vector<std::string> paths;
  UniqueKey key;
  LONG error =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE, key.Receive());
  // REG_MULTI_SZ of UTF-16; its size is in bytes.
  std::vector<wchar_t> value;
  DWORD size = 0;
  if (error == ERROR_SUCCESS)
    error = ::RegQueryValueExW(key.Get(), kValue, nullptr, nullptr, nullptr, &size);
  // Asked again while it grows.
  while (error == ERROR_SUCCESS || error == ERROR_MORE_DATA) {
    value.resize(size / sizeof(wchar_t) + 2);
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    error = ::RegQueryValueExW(key.Get(), kValue, nullptr, nullptr,
                               reinterpret_cast<BYTE*>(value.data()), &size);
    if (error == ERROR_SUCCESS) break;
  }
  if (error == ERROR_FILE_NOT_FOUND) return paths;
  if (error != ERROR_SUCCESS) return std::nullopt;
  // "\??\C:\...\~tvl1a_2.tmp", "!\??\C:\...\MSCAL.OCX", ...
  const std::size_t units = size / sizeof(wchar_t);
  value.resize(units);
  value.push_back(L'\0');
  for (std::size_t at = 0; at < units; at += ::lstrlenW(value.data() + at) + 1) {
    std::string path = Utf8From(value.data() + at);
    if (path.rfind('!', 0) == 0) path.erase(0, 1);
    if (path.rfind("\\??\\", 0) == 0) path.erase(0, 4);
    paths.push_back(std::move(path));
  }
  return paths;
}

enum class RenameOutcome { kRenamed, kFailed, kUnsupported };

// Renames the open `file` (opened with DELETE access) to `destination`,
// replacing the file there in one step. The name is resolved as the "W" calls
// resolve it: absolute or from the current directory.
RenameOutcome RenameOpenFile(HANDLE file, const std::string& destination) {
  // Systems before Vista lack it. Looked up once per run.
  static const auto setFileInformation =
      SystemFunction<BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD)>(
          L"kernel32.dll", "SetFileInformationByHandle");
  if (setFileInformation == nullptr) return RenameOutcome::kUnsupported;

  const std::wstring wide = Utf16From(destination);
  // FileName runs past the declared end of the structure; it ends with a null.
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + (wide.size() + 1) * sizeof(WCHAR));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(wide.size() * sizeof(WCHAR));
  std::memcpy(info->FileName, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  if (setFileInformation(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
    return RenameOutcome::kRenamed;
  const DWORD error = ::GetLastError();
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION
             ? RenameOutcome::kUnsupported
             : RenameOutcome::kFailed;
}

}  // namespace

bool Win32Platform::TemporaryFile::MoveOver(const std::string& destination) {
  switch (RenameOpenFile(file_.Get(), destination)) {
    case RenameOutcome::kRenamed:
      path_.clear();
      return file_.Reset();
    case RenameOutcome::kFailed:
      return false;
    case RenameOutcome::kUnsupported:
      break;
  }
  // MoveFileEx opens the file itself, so it is closed first; a sweep that
  // takes it in between leaves the destination with its old bytes.
  if (!file_.Reset() || !::MoveFileExW(Utf16From(path_).c_str(), Utf16From(destination).c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return false;
  path_.clear();
  return true;
}

bool Win32Platform::TemporaryFile::Discard() {
  bool clean = file_.Reset();
  if (!path_.empty()) {
    clean = ::DeleteFileW(Utf16From(path_).c_str()) != FALSE && clean;
    path_.clear();
  }
  return clean;
}

std::optional<std::pair<std::string, UniqueHandle>> Win32Platform::SecuredTemporaryBeside(
    const std::string& destination, std::vector<unsigned char>& security) {
  auto temporary = CreateTemporaryBeside(destination);
  if (!temporary) {
    Failed(OutputStep::kOpen);
    return std::nullopt;
  }
  if (!ApplySecurity(temporary->second.Get(), security)) {
    Failed(OutputStep::kSecurity);
    temporary->second.Reset();
    ::DeleteFileW(Utf16From(temporary->first).c_str());
    return std::nullopt;
  }
  return temporary;
}

bool Win32Platform::OpenOutput(const std::string& path) {
  if (output_) {
    ::SetLastError(ERROR_BUSY);
    return Failed(OutputStep::kOpen);
  }
  std::vector<unsigned char> security;
  {
    // Fails, leaving the content alone, when another program holds the file
    // without write or delete sharing, it is a running image, or access is
    // denied: the rename over it needs the same.
    UniqueHandle destination(::CreateFileW(Utf16From(path).c_str(),
                                           GENERIC_WRITE | DELETE | READ_CONTROL, kShareAll,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!destination) return Failed(OutputStep::kOpen);
    if (!ReadSecurity(destination.Get(), security)) return Failed(OutputStep::kSecurity);
  }
  auto temporary = SecuredTemporaryBeside(path, security);
  if (!temporary) return false;
  output_.emplace(path, std::move(temporary->first), std::move(temporary->second));
  return true;
}

bool Win32Platform::WriteOutput(const std::uint8_t* data, std::size_t size) {
  if (!output_ || !output_->temporary.File()) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return Failed(OutputStep::kWrite);
  }
  TemporaryFile& temporary = output_->temporary;
  const bool stored = WriteAndFlush(temporary.File().Get(), data, size);
  // One rename, not ReplaceFile: Wine's ReplaceFile moves the old file aside
  // before it moves the new one in, and a kill between leaves no destination.
  if (!stored || !temporary.MoveOver(output_->destination)) {
    Failed(stored ? OutputStep::kRename : OutputStep::kWrite);
    temporary.Discard();
    return false;
  }
  return true;
}

bool Win32Platform::ReplaceAtRestart(const std::string& path, const std::string& knownPath,
                                     const std::uint8_t* data, std::size_t size,
                                     std::string& queued) {
  std::vector<unsigned char> security;
  {
    // Share modes do not cover READ_CONTROL: the program holding the file
    // does not keep its security from being read.
    UniqueHandle destination(::CreateFileW(Utf16From(path).c_str(), READ_CONTROL, kShareAll,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!destination) return Failed(OutputStep::kOpen);
    if (!ReadSecurity(destination.Get(), security)) return Failed(OutputStep::kSecurity);
  }
  auto made = SecuredTemporaryBeside(path, security);
  if (!made) return false;
  TemporaryFile temporary(std::move(made->first), std::move(made->second));
  // Closed before it is queued, so that nothing stands in the rename's way. A
  // kill in between leaves a file no rename names: the next run sweeps it.
  if (!WriteAndFlush(temporary.File().Get(), data, size) || !temporary.File().Reset())
    return Failed(OutputStep::kWrite);
  // On failure (it needs an administrator) the temporary file goes with
  // `temporary`.
  if (!RenameAtRestart(temporary.Path(), knownPath, queued)) return false;
  temporary.Keep();
  return true;
}

bool Win32Platform::RenameAtRestart(const std::string& path, const std::string& knownPath,
                                    std::string& queued) {
  queued = DirectoryPartOf(knownPath) + path.substr(DirectoryPartOf(path).size());
  return ::MoveFileExW(Utf16From(queued).c_str(), Utf16From(knownPath).c_str(),
                       MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) ||
         Failed(OutputStep::kQueueRename);
}

bool Win32Platform::KeepBeside(const std::string& path, std::string& kept) {
  // A new name for the same file: no byte is copied, and the file keeps its
  // identity, security and times through the replacement of `path`.
  for (int attempt = 0; attempt < 100; ++attempt) {
    kept = TemporaryNameBeside(path);
    if (::CreateHardLinkW(Utf16From(kept).c_str(), Utf16From(path).c_str(), nullptr)) return true;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  kept.clear();
  return Failed(OutputStep::kKeep);
}

bool Win32Platform::PutBack(const std::string& kept, const std::string& path) {
  {
    // Refused as the write's open is: a program holds the file, or it is a
    // loaded image.
    UniqueHandle destination(::CreateFileW(Utf16From(path).c_str(), GENERIC_WRITE | DELETE,
                                           kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
    if (!destination) return Failed(OutputStep::kOpen);
  }
  // A rename within the folder, replacing the target in one step.
  if (!::MoveFileExW(Utf16From(kept).c_str(), Utf16From(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return Failed(OutputStep::kRename);
  // The marks the write cleared (read-only, say) are the old file's own.
  for (const auto& [cleared, attributes] : clearedAttributes_)
    if (cleared == path) ::SetFileAttributesW(Utf16From(path).c_str(), attributes);
  return true;
}

void Win32Platform::DeleteKept(const std::string& kept) { ::DeleteFileW(Utf16From(kept).c_str()); }

bool Win32Platform::CloseOutput() {
  if (!output_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return Failed(OutputStep::kClose);
  }
  const bool clean = output_->temporary.Discard() || Failed(OutputStep::kClose);
  output_.reset();
  return clean;
}

std::string Win32Platform::QueuedReplacement(const std::string& knownPath) {
  const auto paths = PendingRenamePaths();
  const std::string directory = DirectoryPartOf(knownPath);
  std::string queued;
  // The last rename onto the target is the one that stands after the restart.
  for (std::size_t at = 0; paths && at + 1 < paths->size(); at += 2) {
    const std::string& from = (*paths)[at];
    if (Lower((*paths)[at + 1]) != Lower(knownPath)) continue;
    const bool ours = Lower(DirectoryPartOf(from)) == Lower(directory) &&
                      IsTemporaryName(Lower(from.substr(directory.size())));
    queued = ours ? from : std::string();
  }
  return queued;
}

std::vector<std::string> Win32Platform::SweepTemporaryFiles(const std::string& directory) {
  // The pattern also matches short names, and longer names than ours.
  const std::string pattern = directory + "\\" + kTemporaryPrefix + "*.tmp";
  std::vector<std::string> deleted;
  std::optional<std::vector<std::string>> pending;
  bool pendingAsked = false;
  WIN32_FIND_DATAW found;
  const UniqueFind search(::FindFirstFileW(Utf16From(pattern).c_str(), &found));
  if (!search) return deleted;
  do {
    // A failure leaves the file for a later run.
    const std::string name = Lower(Utf8From(found.cFileName));
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsTemporaryName(name))
      continue;
    // Asked once, and only when there is a candidate: a run with nothing to
    // sweep does not load the registry's library.
    if (!pendingAsked) {
      pending = PendingRenamePaths();
      if (pending)
        for (std::string& path : *pending) path = Lower(path.substr(path.find_last_of('\\') + 1));
      pendingAsked = true;
    }
    if (!pending || std::find(pending->begin(), pending->end(), name) != pending->end()) continue;
    std::string path = directory + "\\" + Utf8From(found.cFileName);
    if (::DeleteFileW(Utf16From(path).c_str())) deleted.push_back(std::move(path));
  } while (::FindNextFileW(search.Get(), &found));
  return deleted;
}

}  // namespace tarnvel
