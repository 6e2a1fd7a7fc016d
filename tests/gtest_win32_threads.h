// GCC 12's win32-threads runtime has no std::mutex nor std::condition_variable,
// which GoogleTest's Notification alone needs. Forced into GoogleTest and the
// Windows tests, this one on a Win32 event takes its place.
#pragma once

#ifdef __cplusplus
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  void Notify() { ::SetEvent(event_); }
  void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

}  // namespace testing::internal
#endif
