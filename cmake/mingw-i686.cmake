# Cross-building for 32-bit Windows with mingw-w64 (the Notes client has long been 32-bit).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VP_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The DLL's stdcall exports are bound to their plain names in its .def (see hooklib/export.h).
set(VP_STDCALL_FIXUP "-Wl,--enable-stdcall-fixup")
