// Owners for kernel handles, so that no failure path closes one by hand.
#pragma once

#include <windows.h>

#include <utility>

namespace tarnvel {

// A kernel object handle (file, process, thread). CreateFile reports failure
// as INVALID_HANDLE_VALUE, most other calls as null: both mean "nothing held".
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Close(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.Release();
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

  HANDLE Release() { return std::exchange(handle_, nullptr); }

  // Closes now; false when the system reports the close failed (for a file
  // written through this handle that can mean its last bytes did not land).
  bool Close() {
    if (!*this) {
      handle_ = nullptr;
      return true;
    }
    return ::CloseHandle(Release()) != FALSE;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A FindFirstFile search, closed with FindClose.
class UniqueFind {
 public:
  explicit UniqueFind(HANDLE search) : search_(search) {}
  ~UniqueFind() {
    if (*this) ::FindClose(search_);
  }
  UniqueFind(const UniqueFind&) = delete;
  UniqueFind& operator=(const UniqueFind&) = delete;

  HANDLE Get() const { return search_; }
  explicit operator bool() const { return search_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE search_;
};

}  // namespace tarnvel
