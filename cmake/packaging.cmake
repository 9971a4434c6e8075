# Installation layout of the POSIX build and its Debian package (cpack in the build folder
# makes veilpost_<version>_<arch>.deb).
include(GNUInstallDirs)

# The programs find the library in ../lib beside them: under /usr that is a folder the loader
# searches anyway, and an unpacked copy anywhere else still finds its own library first.
set_target_properties(veilpost corvane PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
install(TARGETS veilpost corvane RUNTIME DESTINATION bin)
# libnnotes.so stands in for NNOTES.DLL; the library loads it from its own folder.
install(TARGETS orlavex nnotes LIBRARY DESTINATION lib)
install(FILES ${PROJECT_SOURCE_DIR}/notes/veilpost-plugin.lss DESTINATION share/veilpost OPTIONAL)
install(FILES README.md CHANGELOG.md docs/guide.md DESTINATION ${CMAKE_INSTALL_DOCDIR} OPTIONAL)
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/screenshots)
  install(DIRECTORY docs/screenshots DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veilpost)
set(CPACK_PACKAGE_VENDOR Brinmoor)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OpenPGP mail plug-in for the Lotus Notes client, using GnuPG")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Veilpost encrypts, signs, decrypts and verifies Notes mail by running GnuPG. The package "
       "holds the hook library liborlavex.so, the control program corvane, the host program "
       "veilpost (which runs the library as the mail client does, with a two-user demo), the "
       "plug-in's script and the user guide.")
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
include(CPack)

# The Windows installer: builds the two Windows presets and runs makensis over their files.
add_custom_target(windows-installer
                  COMMAND ${PROJECT_SOURCE_DIR}/installer/make-installer
                  DEPENDS veilpost USES_TERMINAL
                  COMMENT "Making veilpost-setup-${PROJECT_VERSION}.exe")
