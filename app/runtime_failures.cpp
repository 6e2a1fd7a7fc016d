// The C++ runtime's own failures end the program the way every other
// unexpected failure does: one report (none in a silent run), exit code 3.
//
// The program is built without exceptions, but the runtime's prebuilt parts
// (operator new, the string members) raise exceptions on failure and have
// handlers for them. Taking over the helpers that raise them and the
// allocation functions, and building std::string here, keeps exceptions,
// and the unwinding machinery behind them, out of setup.exe. Linked into
// setup.exe only; the tests keep the runtime's own behaviour. GCC's
// libstdc++ only.
#include <bits/functexcept.h>  // libstdc++'s std::__throw_* helpers, replaced below

#include <cstdlib>
#include <new>
#include <string>

#include "app/platform.h"

namespace {

[[noreturn]] void OutOfMemory() { tarnvel::FailUnexpectedly("out of memory"); }

void* Allocate(std::size_t size) noexcept { return std::malloc(size != 0 ? size : 1); }

}  // namespace

// No new-handler is ever installed, so a failed allocation is final.
void* operator new(std::size_t size) {
  if (void* block = Allocate(size)) return block;
  OutOfMemory();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

// Every helper of <bits/functexcept.h>: leaving one out would bring the
// runtime's own set back in, and with it the clash of two definitions.
namespace std {

void __throw_bad_exception() { tarnvel::FailUnexpectedly("bad exception"); }
void __throw_bad_alloc() { OutOfMemory(); }
void __throw_bad_array_new_length() { OutOfMemory(); }
void __throw_bad_cast() { tarnvel::FailUnexpectedly("bad cast"); }
void __throw_bad_typeid() { tarnvel::FailUnexpectedly("bad typeid"); }
void __throw_logic_error(const char* what) { tarnvel::FailUnexpectedly(what); }
void __throw_domain_error(const char* what) { tarnvel::FailUnexpectedly(what); }
void __throw_invalid_argument(const char* what) { tarnvel::FailUnexpectedly(what); }
void __throw_length_error(const char* what) { tarnvel::FailUnexpectedly(what); }
void __throw_out_of_range(const char* what) { tarnvel::FailUnexpectedly(what); }
// The format names the failing call ("%s: __pos (which is %zu) > ..."),
// which is enough to read without its arguments.
void __throw_out_of_range_fmt(const char* format, ...) { tarnvel::FailUnexpectedly(format); }
void __throw_runtime_error(const char* what) { tarnvel::FailUnexpectedly(what); }
void __throw_range_error(const char* what) { tarnvel::FailUnexpectedly(what); }
void __throw_overflow_error(const char* what) { tarnvel::FailUnexpectedly(what); }
void __throw_underflow_error(const char* what) { tarnvel::FailUnexpectedly(what); }
void __throw_ios_failure(const char* what) { tarnvel::FailUnexpectedly(what); }
void __throw_ios_failure(const char* what, int) { tarnvel::FailUnexpectedly(what); }
void __throw_system_error(int) { tarnvel::FailUnexpectedly("system error"); }
void __throw_future_error(int) { tarnvel::FailUnexpectedly("future error"); }
void __throw_bad_function_call() { tarnvel::FailUnexpectedly("bad function call"); }

}  // namespace std

// libstdc++ declares std::string's members extern and ships them prebuilt,
// compiled with exception handlers, which would link the personality
// routine and the unwinder. The same instantiation its
// string-inst.cc makes, compiled here without exceptions, takes their place;
// the link map (setup.map) shows no string-inst.o while it covers them all.
template class std::basic_string<char>;
// And its UTF-16 twin, for the "W" calls (win32_text.h).
template class std::basic_string<wchar_t>;
