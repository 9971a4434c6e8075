# orlavex.dll: the exports of orlavex.map under their plain names, and the thirteen shared
# variables as data, listed in a .def file made from the map (one list of exports for both
# builds). On i686 the functions are stdcall (see export.h); --enable-stdcall-fixup binds each
# plain name in the .def to its decorated symbol, and the export keeps the plain name (the
# toolchain file adds it to every link).
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/orlavex.map VP_MAP_LINES)
set(VP_DEF "LIBRARY orlavex.dll\nEXPORTS\n")
set(VP_IN_GLOBAL FALSE)
foreach(line IN LISTS VP_MAP_LINES)
  string(STRIP "${line}" line)
  if(line STREQUAL "global:")
    set(VP_IN_GLOBAL TRUE)
  elseif(line STREQUAL "local:")
    set(VP_IN_GLOBAL FALSE)
  elseif(VP_IN_GLOBAL AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*);$")
    string(APPEND VP_DEF "  ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
foreach(variable szPgpKey passphrase time_start cacheInterval bShowProcAttDialog
                 bShowMailSignDialog bShowFileSignDialog bShowAttLaunchDialog bAutoOpenPgpMail
                 bUseAgent defaultDirectory szVersion szGpgApp)
  string(APPEND VP_DEF "  ${variable} DATA\n")
endforeach()
set(VP_DEF_FILE ${CMAKE_CURRENT_BINARY_DIR}/orlavex.def)
file(CONFIGURE OUTPUT ${VP_DEF_FILE} CONTENT "${VP_DEF}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/orlavex.map)

file(GLOB VP_EXPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/exports*.cpp)
add_library(orlavex SHARED ${VP_EXPORT_SOURCES} ${PROJECT_SOURCE_DIR}/platform/win32/dll_entry.cpp
                           ${VP_DEF_FILE} ${CMAKE_CURRENT_SOURCE_DIR}/orlavex.rc)
target_link_libraries(orlavex PRIVATE vp_system)
set_target_properties(orlavex PROPERTIES PREFIX "" OUTPUT_NAME orlavex)
target_link_options(orlavex PRIVATE -Wl,--no-undefined)
