# Cross-building the 64-bit Windows program from Linux with clang and lld, on the same
# MinGW-w64 headers, libraries and C++ runtime as the GCC build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTRELON_TARGET x86_64-w64-windows-gnu)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${KESTRELON_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${KESTRELON_TARGET})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_SYSROOT /usr/x86_64-w64-mingw32)

# The posix-thread flavour of GCC's runtime, as the GCC build uses.
set(KESTRELON_GCC_LIBS /usr/lib/gcc/x86_64-w64-mingw32/12-posix)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${KESTRELON_GCC_LIBS}/include/c++ -isystem ${KESTRELON_GCC_LIBS}/include/c++/x86_64-w64-mingw32")
# GCC's posix runtime needs winpthread, which the GCC driver adds by itself; lld resolves
# archives whatever their place on the command line.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${KESTRELON_GCC_LIBS} -lpthread")

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
