# Installation (cmake --install) and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

install(TARGETS vantel32 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vantel32.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vantel32.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vantel32)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vantel32-check.conf
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples RENAME photos.conf)

# The systemd units of the unattended check. The service names the program where this install
# puts it, so it is made when the prefix is known: cpack installs with its own.
set(vantel_unit_dir lib/systemd/system)
set(vantel_service ${CMAKE_BINARY_DIR}/vantel32-check@.service)
install(CODE "
  set(VANTEL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/packaging/vantel32-check@.service.in\" \"${vantel_service}\" @ONLY)
")
install(FILES ${vantel_service} ${CMAKE_SOURCE_DIR}/packaging/vantel32-check@.timer
  DESTINATION ${vantel_unit_dir})

set(CPACK_PACKAGE_NAME vantel32)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "vantel32 maintainers <maintainers@vantel32.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue directory trees by CRC-32")
set(CPACK_PACKAGE_DESCRIPTION [[
vantel32 lists directory trees with the CRC-32 of every file, keeps the
catalogue of a tree in a data file and reports what changed since, compares
two trees, and finds duplicate files.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A cross build is packaged for its own processor. Its libraries lie in the cross sysroot, where
# dpkg-shlibdeps does not look; the layout script runs it there (CPACK_VANTEL_CROSS_LIBS).
if(CMAKE_CROSSCOMPILING AND NOT WIN32 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  list(TRANSFORM CMAKE_FIND_ROOT_PATH APPEND /lib OUTPUT_VARIABLE CPACK_VANTEL_CROSS_LIBS)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The strip of the build's own tool chain, which a cross build needs (cpack hands CPACK_
# variables to the layout script).
set(CPACK_VANTEL_STRIP ${CMAKE_STRIP})
# Debian's layout for the documentation: the man page, README and changelog compressed, the
# licence as the copyright file.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/debian-layout.cmake)
include(CPack)
