# Shared part of the mingw-w64 toolchain files: Debian's posix-threads flavour, a statically
# linked runtime (the library and programs need no mingw DLLs beside them), and nothing from the
# build machine's own headers or libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VP_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static ${VP_STDCALL_FIXUP}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static ${VP_STDCALL_FIXUP}")
# The C99-conforming printf family, which the format checks assume.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
