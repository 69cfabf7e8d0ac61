# Run by cpack on the staged files, before the .deb is made: Debian's documentation layout
# (man pages, README and changelog compressed, the licence as the copyright file) and binaries
# stripped as dh_strip leaves them. Dates come from SOURCE_DATE_EPOCH when it is set, so that
# two builds of the same sources give the same bytes.
set(root ${CPACK_TEMPORARY_DIRECTORY})
set(doc ${root}/usr/share/doc/${CPACK_PACKAGE_NAME})
file(GLOB_RECURSE pages ${root}/usr/share/man/*.1)
file(REMOVE ${doc}/LICENSE)
file(COPY ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${doc})
file(GLOB binaries ${root}/usr/bin/*)
foreach(file ${binaries})
  execute_process(COMMAND ${CPACK_VANTEL_STRIP} --remove-section=.comment --remove-section=.note ${file}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip failed on ${file}")
  endif()
endforeach()
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${doc}/changelog
  "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
  "  * Built from the ${CPACK_PACKAGE_NAME} sources.\n\n"
  " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
foreach(file ${pages} ${doc}/README.md ${doc}/changelog)
  execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}")
  endif()
endforeach()
# A cross build's libraries belong to the sysroot's packages, whose dependency lines name the
# cross packages (libgcc-s1-arm64-cross) or carry the architecture (libc6:arm64); the target
# system knows them by their own names.
if(CPACK_VANTEL_CROSS_LIBS)
  set(work ${CPACK_TEMPORARY_DIRECTORY}/../shlibdeps)
  file(MAKE_DIRECTORY ${work}/debian)
  file(WRITE ${work}/debian/control "")
  list(TRANSFORM CPACK_VANTEL_CROSS_LIBS PREPEND -l OUTPUT_VARIABLE search)
  execute_process(COMMAND dpkg-shlibdeps ${search} -O ${binaries} WORKING_DIRECTORY ${work}
    OUTPUT_VARIABLE found ERROR_VARIABLE errors RESULT_VARIABLE status)
  file(REMOVE_RECURSE ${work})
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-shlibdeps failed: ${errors}")
  endif()
  string(REGEX REPLACE "^.*Depends=" "" found "${found}")
  string(STRIP "${found}" found)
  set(arch ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
  string(REGEX REPLACE "-${arch}-cross|:${arch}" "" found "${found}")
  # A library whose cross package has no symbols file comes without a version; the program then
  # needs at least the upstream version it was linked against.
  string(REPLACE ", " ";" entries "${found}")
  set(depends)
  foreach(entry ${entries})
    if(entry MATCHES "^[^ ]+$")
      execute_process(COMMAND dpkg-query -W -f=\${Version} ${entry}-${arch}-cross
        OUTPUT_VARIABLE version RESULT_VARIABLE status)
      if(NOT status EQUAL 0 OR NOT version MATCHES "^([0-9]+:)?([^-]+)")
        message(FATAL_ERROR "no version of ${entry}-${arch}-cross")
      endif()
      set(entry "${entry} (>= ${CMAKE_MATCH_2})")
    endif()
    list(APPEND depends "${entry}")
  endforeach()
  list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()
