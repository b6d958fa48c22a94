// Kestrelon: a small start menu. Each run shows one popup above the taskbar, hands whatever
// the user picks to the shell, and ends.
#include <windows.h>

#include <cstdlib>

#include "app/startup.h"

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
// libstdc++'s default terminate handler prints a demangled type name to stderr, which links
// its demangler and printf (about 70 KiB). A windowed program has no console: just abort.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return RunKestrelon(instance); }
