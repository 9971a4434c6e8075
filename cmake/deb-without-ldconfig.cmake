# Run by cpack after it made the Debian package (CPACK_POST_BUILD_SCRIPTS): takes out the
# postinst and postrm that cpack writes to call ldconfig for any shared object below /usr/lib.
# The package's libraries are plug-ins in a private folder that no one links, so the library
# cache has nothing to learn, and the package needs no maintainer scripts at all.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${package}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --raw-extract ${package} failed: ${rc}")
  endif()
  foreach(script postinst postrm)
    set(file ${tree}/DEBIAN/${script})
    if(EXISTS ${file})
      file(READ ${file} text)
      string(REGEX REPLACE "\n+" "\n" lines "${text}")
      string(REGEX REPLACE "^#!/bin/sh\nset -e\nif \\[ \"\\$1\" = \"[a-z]+\" \\]; then\n\tldconfig\nfi\n$"
                           "" rest "${lines}")
      if(NOT rest STREQUAL "")
        message(FATAL_ERROR "${script} does more than call ldconfig:\n${text}")
      endif()
      file(REMOVE ${file})
    endif()
  endforeach()
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${package}
                  OUTPUT_QUIET RESULT_VARIABLE rc)
  file(REMOVE_RECURSE ${tree})
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --build ${package} failed: ${rc}")
  endif()
endforeach()
