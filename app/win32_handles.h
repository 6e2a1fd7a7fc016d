// One owner for every kind of handle (kernel objects, searches, registry
// keys, windows and GDI objects), so that no failure path closes one by hand.
// Header only: the stand-in components, built without the C runtime, use it
// too.
#pragma once

#include <windows.h>

#include <utility>

namespace tarnvel {

// Owns one handle and closes it with `Close` when it goes. Null means
// "nothing held"; for kernel objects INVALID_HANDLE_VALUE does too, since
// CreateFile and FindFirstFile report failure with it.
template <typename Handle, auto Close, bool kInvalidValueToo = false>
class Unique {
 public:
  Unique() = default;
  explicit Unique(Handle handle) : handle_(handle) {}
  ~Unique() {
    if (*this) Close(handle_);
  }
  Unique(Unique&& other) noexcept : handle_(other.Release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  Handle Get() const { return handle_; }
  explicit operator bool() const {
    if constexpr (kInvalidValueToo) {
      if (handle_ == INVALID_HANDLE_VALUE) return false;
    }
    return handle_ != nullptr;
  }

  Handle Release() { return std::exchange(handle_, nullptr); }
  // For a call that hands a new handle out through a pointer; only on an
  // owner that holds nothing.
  Handle* Receive() { return &handle_; }
  // Closes what is held and takes `handle`; false when the system reports
  // that the close failed (for a file written through this handle that can
  // mean its last bytes did not land).
  bool Reset(Handle handle = nullptr) {
    const bool held = static_cast<bool>(*this);
    const Handle old = std::exchange(handle_, handle);
    return !held || Close(old);
  }

 private:
  Handle handle_ = nullptr;
};

// RegCloseKey answers with an error code rather than a BOOL.
inline bool CloseKey(HKEY key) { return ::RegCloseKey(key) == ERROR_SUCCESS; }

using UniqueHandle = Unique<HANDLE, &::CloseHandle, true>;
using UniqueFind = Unique<HANDLE, &::FindClose, true>;
using UniqueKey = Unique<HKEY, &CloseKey>;

}  // namespace tarnvel
