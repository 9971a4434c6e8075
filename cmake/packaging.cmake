# Installation layout of the POSIX build and its Debian package (cpack in the build folder
# makes veilpost_<version>-<revision>_<arch>.deb).
include(GNUInstallDirs)

# The hook library and the Notes API stand-in are plug-ins loaded by name, not libraries for other
# programs to link: they live in a private folder, which the programs' run path names, so the
# system's library cache never hears of them. An unpacked copy anywhere still finds its own.
set(VEILPOST_PRIVATE_LIBDIR lib/veilpost)
set_target_properties(veilpost corvane PROPERTIES INSTALL_RPATH "$ORIGIN/../${VEILPOST_PRIVATE_LIBDIR}")
install(TARGETS veilpost corvane RUNTIME DESTINATION bin)
# libnnotes.so stands in for NNOTES.DLL; the library loads it from its own folder.
install(TARGETS orlavex nnotes LIBRARY DESTINATION ${VEILPOST_PRIVATE_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/notes/veilpost-plugin.lss DESTINATION share/veilpost OPTIONAL)
install(FILES README.md docs/guide.md packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/screenshots)
  install(DIRECTORY docs/screenshots DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# What Debian wants compressed with gzip -9n (no name or time in the header, so the same input
# makes the same bytes): the manual pages, the upstream changelog (changelog.gz) and the
# package's own (changelog.Debian.gz).
set(VEILPOST_DEB_DIR ${CMAKE_BINARY_DIR}/packaging)
set(VEILPOST_DEB_FILES)
function(veilpost_gzip input output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -P
            ${PROJECT_SOURCE_DIR}/cmake/gzip-file.cmake
    DEPENDS ${input} ${PROJECT_SOURCE_DIR}/cmake/gzip-file.cmake
    VERBATIM)
  set(VEILPOST_DEB_FILES ${VEILPOST_DEB_FILES} ${output} PARENT_SCOPE)
endfunction()
foreach(page veilpost corvane)
  configure_file(docs/man/${page}.1.in ${VEILPOST_DEB_DIR}/${page}.1 @ONLY)
  veilpost_gzip(${VEILPOST_DEB_DIR}/${page}.1 ${VEILPOST_DEB_DIR}/${page}.1.gz)
  install(FILES ${VEILPOST_DEB_DIR}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
veilpost_gzip(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${VEILPOST_DEB_DIR}/changelog.gz)
veilpost_gzip(${PROJECT_SOURCE_DIR}/packaging/debian/changelog
              ${VEILPOST_DEB_DIR}/changelog.Debian.gz)
install(FILES ${VEILPOST_DEB_DIR}/changelog.gz ${VEILPOST_DEB_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/debian/lintian-overrides DESTINATION share/lintian/overrides
        RENAME veilpost)
add_custom_target(debian-docs ALL DEPENDS ${VEILPOST_DEB_FILES})

# The package's revision: the Debian changelog's newest entry must be for this release and it.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
file(STRINGS packaging/debian/changelog VEILPOST_DEB_TOP LIMIT_COUNT 1)
if(NOT VEILPOST_DEB_TOP MATCHES "^veilpost \\(${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}\\) ")
  message(WARNING "packaging/debian/changelog has no entry for ${PROJECT_VERSION}-"
                  "${CPACK_DEBIAN_PACKAGE_RELEASE} at the top: add one before making the package")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veilpost)
set(CPACK_PACKAGE_VENDOR Brinmoor)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OpenPGP mail plug-in for the Lotus Notes client, using GnuPG")
# Debian's control file wants the lines of the long description under 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Veilpost encrypts, signs, decrypts and verifies Lotus Notes mail by running\n"
       "GnuPG (2.2, or 1.4 from gnupg1); it does no cryptography of its own. The\n"
       "package holds the hook library liborlavex.so that the mail client loads, the\n"
       "control program corvane, which expires the cached passphrase, and the host\n"
       "program veilpost, which runs the library as the mail client does, with a\n"
       "two-user demo and tools for the stand-in Notes databases; also the plug-in's\n"
       "script and the user guide.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)  # the build keeps its debug information; the package does not
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Veilpost maintainers <veilpost@brinmoor.invalid>")
# Every cryptographic operation is a run of gpg; the libraries the programs link are found by
# dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gnupg")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnupg1")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
# cpack calls ldconfig from the maintainer scripts for any library below /usr/lib, a private
# folder too; the package takes those scripts out again, since nothing here is for the cache.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb-without-ldconfig.cmake)
include(CPack)

# The Windows installer: builds the two Windows presets and runs makensis over their files.
add_custom_target(windows-installer
                  COMMAND ${PROJECT_SOURCE_DIR}/installer/make-installer
                  DEPENDS veilpost USES_TERMINAL
                  COMMENT "Making veilpost-setup-${PROJECT_VERSION}.exe")
