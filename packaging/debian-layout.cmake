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
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${file}
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
