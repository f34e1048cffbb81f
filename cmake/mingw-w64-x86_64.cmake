# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (POSIX threads variant).
# Use: cmake --preset windows, or cmake -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64-x86_64.cmake
# (an absolute path: a relative one is looked up against the build folder).
#
# The executables link the C++ and GCC runtimes and winpthreads statically, so they need
# nothing on the target machine beyond the DLLs that Windows itself ships (KERNEL32.dll and
# msvcrt.dll for a plain console program).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
# The -posix driver carries std::thread and std::mutex; the -win32 one does not in GCC 12.
find_program(CMAKE_C_COMPILER NAMES ${MINGW_TRIPLET}-gcc-posix ${MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MINGW_TRIPLET}-g++-posix ${MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLET}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${MINGW_TRIPLET}-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES ${MINGW_TRIPLET}-ranlib REQUIRED)

# Headers and libraries come only from the cross sysroot; programs (code generators, etc.)
# from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: no libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll at run time.
# -static alone already implies the other two with this driver; they are spelled out so that
# dropping -static by mistake still keeps the C++ runtime inside the executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# No link time in the executable's header: the same sources give the same bytes.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--no-insert-timestamp")
