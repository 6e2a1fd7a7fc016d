// GoogleTest passes every failure to OutputDebugStringA, where Wine raises an
// exception whose unwinding crashes a 32-bit process under qemu-i386. This
// takes the import's place in each Windows test program: the call does nothing.
#include <windows.h>

namespace {
void WINAPI IgnoreDebugOutput(LPCSTR) {}
}  // namespace

extern "C" void(WINAPI* const tarnvelOutputDebugStringA)(LPCSTR) __asm__(
    "__imp__OutputDebugStringA@4") = IgnoreDebugOutput;
