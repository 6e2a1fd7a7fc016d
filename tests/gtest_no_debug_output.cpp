// GoogleTest passes every failure to OutputDebugStringA as well. Wine raises
// an exception there, and unwinding it crashes the 32-bit process under
// qemu-i386: a failing check would end the whole test program. This takes the
// place of the import in each Windows test program, so the call does nothing.
#include <windows.h>

namespace {
void WINAPI IgnoreDebugOutput(LPCSTR) {}
}  // namespace

extern "C" void(WINAPI* const tarnvelOutputDebugStringA)(LPCSTR) __asm__(
    "__imp__OutputDebugStringA@4") = IgnoreDebugOutput;
