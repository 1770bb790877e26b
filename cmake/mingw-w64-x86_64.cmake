# Cross-compiling the Windows build on Linux with Debian's mingw-w64 (x86_64, POSIX threads).
# Libraries come from the mingw sysroot and from the prefix where scripts/windows.sh
# installs the libpng and GoogleTest it builds; the host's own libraries are never seen.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAMQ_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAMQ_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMQ_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMQ_MINGW_TRIPLET}-windres)

set(TAMQ_MINGW_SYSROOT /usr/${TAMQ_MINGW_TRIPLET})
if(NOT DEFINED TAMQ_WINDOWS_PREFIX)
  get_filename_component(TAMQ_WINDOWS_PREFIX
    "${CMAKE_CURRENT_LIST_DIR}/../build-windows/third_party/prefix" ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH ${TAMQ_WINDOWS_PREFIX} ${TAMQ_MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zlib statically: the sysroot also has an import library, which would tie the game to zlib1.dll.
set(ZLIB_INCLUDE_DIR ${TAMQ_MINGW_SYSROOT}/include CACHE PATH "")
set(ZLIB_LIBRARY ${TAMQ_MINGW_SYSROOT}/lib/libz.a CACHE FILEPATH "")

# One self-contained .exe: the C, C++ and threads runtimes are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine.
find_program(TAMQ_WINE NAMES wine wine64)
if(TAMQ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAMQ_WINE})
endif()
