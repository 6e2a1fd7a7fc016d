#include "app/win32_fault_end.h"

#include <cstdint>
#include <utility>

#include "app/platform.h"
#include "app/win32_startup.h"

namespace tarnvel {

namespace {

// The report runs on a stack of its own, made at start-up: after a stack
// overflow the thread's own has no room left for it. Windows keeps as much
// as SetThreadStackGuarantee asks for the way to the filter; Wine keeps a
// page, whatever was asked.
constexpr ULONG kStackForTheFilter = 16 * 1024;
void* reportFiber = nullptr;
std::uint32_t faultCode = 0;
std::uint32_t faultAddress = 0;

void CALLBACK Report(void*) { FailAfterFault(faultCode, faultAddress); }

LONG WINAPI EndAfterFault(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  faultCode = record.ExceptionCode;
  faultAddress =
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(record.ExceptionAddress));
  // Once only: a fault in the report itself is handled where it happens,
  // and the report then ends the program at once.
  if (void* const fiber = std::exchange(reportFiber, nullptr)) ::SwitchToFiber(fiber);
  FailAfterFault(faultCode, faultAddress);
}

}  // namespace

void EndFaultsThroughUnexpectedError() {
  if (const auto guarantee =
          SystemFunction<BOOL(WINAPI*)(PULONG)>(L"kernel32.dll", "SetThreadStackGuarantee")) {
    ULONG bytes = kStackForTheFilter;
    guarantee(&bytes);
  }
  if (::ConvertThreadToFiber(nullptr) != nullptr) reportFiber = ::CreateFiber(0, Report, nullptr);
  // Replaces the C runtime's filter, which would hand the fault on to the
  // system's own report.
  ::SetUnhandledExceptionFilter(EndAfterFault);
}

}  // namespace tarnvel
