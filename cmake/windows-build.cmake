# The Windows build, included from the top-level list. The embedded Notes store, the headless
# user interface and the GoogleTest suite are POSIX-only; the Notes API comes from the Notes
# client's own nnotes.dll at run time.

# CLI11 is header-only; its folder is reached through a folder of its own so that the build
# machine's /usr/include never lands on the cross compiler's search path.
set(VP_HEADER_SHIM ${CMAKE_BINARY_DIR}/header-shim)
file(MAKE_DIRECTORY ${VP_HEADER_SHIM})
file(CREATE_LINK /usr/include/CLI ${VP_HEADER_SHIM}/CLI SYMBOLIC)
add_library(vp_cli11 INTERFACE)
target_include_directories(vp_cli11 SYSTEM INTERFACE ${VP_HEADER_SHIM})

add_library(vp_notesemu INTERFACE)  # the system's own code uses the Notes client's nnotes.dll

# SQLite for mingw-w64 (tests/fixtures/build-sqlite-mingw prints the prefix): with it the
# Notes API stand-in nnotes.dll is built for the tests under Wine; without it the build goes on
# without the stand-in.
set(VEILPOST_SQLITE_MINGW_PREFIX "" CACHE PATH
    "Prefix holding <triple>/include/sqlite3.h and <triple>/lib/libsqlite3.a")
set(VP_SQLITE_MINGW ${VEILPOST_SQLITE_MINGW_PREFIX}/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
if(VEILPOST_SQLITE_MINGW_PREFIX AND EXISTS ${VP_SQLITE_MINGW}/lib/libsqlite3.a)
  add_library(SQLite::SQLite3 STATIC IMPORTED)
  set_target_properties(SQLite::SQLite3 PROPERTIES
    IMPORTED_LOCATION ${VP_SQLITE_MINGW}/lib/libsqlite3.a
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${VP_SQLITE_MINGW}/include
    INTERFACE_INCLUDE_DIRECTORIES ${VP_SQLITE_MINGW}/include)
  set(VP_NNOTES_STAND_IN ON)
else()
  message(STATUS "No SQLite for mingw-w64 (VEILPOST_SQLITE_MINGW_PREFIX): the Notes API "
                 "stand-in nnotes.dll and its tests are not built")
  set(VP_NNOTES_STAND_IN OFF)
endif()

add_subdirectory(platform)
if(VP_NNOTES_STAND_IN)
  add_subdirectory(notesemu)
endif()
add_subdirectory(hooklib)
add_subdirectory(host)
add_subdirectory(control)

# The system's dialogs opened on screen for the answer scripts of tests/win/run-dialogs.sh.
add_subdirectory(tests/win)
