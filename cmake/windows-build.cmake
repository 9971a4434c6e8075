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

add_library(vp_notesemu INTERFACE)  # no embedded store on Windows

add_subdirectory(platform)
add_subdirectory(hooklib)
add_subdirectory(host)
add_subdirectory(control)

# The system's dialogs opened on screen for the answer scripts of tests/win/run-dialogs.sh.
add_subdirectory(tests/win)
