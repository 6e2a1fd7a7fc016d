// GCC 12's win32-threads runtime has no std::mutex and no
// std::condition_variable, and GoogleTest builds its Notification, the one
// place it names them, on both. Forced into GoogleTest and the Windows tests,
// this Notification on a Win32 event takes its place. The program itself
// uses no threads.
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
