# Cross build of the 32-bit Windows DLL and its tests with Debian's mingw-w64 compilers
# (posix thread model), run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

# Libraries and headers come from the cross sysroot and from the private prefix that
# scripts/install-deps.sh fills (libyaml, GoogleTest, RapidJSON's headers); programs
# always from the build machine.
get_filename_component(QIV_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../../build/deps-windows" ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32 ${QIV_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and the DLL carry their C and C++ runtimes and winpthread inside, so
# nothing of the toolchain has to sit next to them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# CTest runs the test programs through Wine, by way of a script that keeps one Wine server
# for the whole run.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh")
