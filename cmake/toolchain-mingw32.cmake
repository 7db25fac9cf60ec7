# Cross build for 32-bit Windows with Debian's mingw-w64 (the -posix
# compilers, whose libstdc++ has std::thread and std::mutex).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
# libgcc and libstdc++ are linked statically, so that a DLL imports only
# system DLLs (KERNEL32, USER32, GDI32, msvcrt) and never a mingw runtime DLL
# the host would have to ship beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KV_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KV_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KV_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KV_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${KV_MINGW_TRIPLE}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Doubles computed in SSE2 registers, as on x86-64, and not in the x87's
# 80-bit ones: with x87 excess precision a value such as 99.99 compared
# with the largest a N(5,2) field holds came out larger, so the same put
# was refused on one target and stored on the other, and numbers written
# to files differed in their last digit. Every x86 processor a 32-bit
# Windows host runs on today has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# Static runtime (winpthread too: std::thread of the -posix compiler needs it).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here (the tests) run under Wine: CTest starts each through
# the emulator. scripts/run-wine-tests.sh sets up the prefix and the
# wineserver around the run.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
