# Run by cpack on the staged files, before the .deb is made: Debian's documentation layout
# (man pages and changelog compressed, a copyright file).
set(root ${CPACK_TEMPORARY_DIRECTORY})
set(doc ${root}/usr/share/doc/${CPACK_PACKAGE_NAME})
file(GLOB_RECURSE pages ${root}/usr/share/man/*.1)
file(COPY ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${doc})
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${doc}/changelog
  "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
  "  * Built from the ${CPACK_PACKAGE_NAME} sources.\n\n"
  " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
foreach(file ${pages} ${doc}/changelog)
  execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}")
  endif()
endforeach()
