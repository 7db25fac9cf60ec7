# Run by CPack after it wrote the package. CPack's DEB generator registers
# the libraries with postinst and postrm scripts that call ldconfig; Debian
# does that with an ldconfig trigger instead, so the package is unpacked,
# the two scripts (which do nothing else) are replaced by the trigger, and
# it is packed again with every file owned by root.
foreach(deb ${CPACK_PACKAGE_FILES})
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(root ${CPACK_TOPLEVEL_DIRECTORY}/ldconfig-trigger)
  file(REMOVE_RECURSE ${root})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${root} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb could not unpack ${deb}")
  endif()
  foreach(script postinst postrm)
    if(EXISTS ${root}/DEBIAN/${script})
      file(READ ${root}/DEBIAN/${script} text)
      string(REGEX REPLACE "#[^\n]*\n|set -e\n|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then\n|ldconfig\n|fi\n|[ \t\n]" "" rest "${text}")
      if(NOT rest STREQUAL "")
        message(FATAL_ERROR "${script} does more than call ldconfig:\n${text}")
      endif()
      file(REMOVE ${root}/DEBIAN/${script})
    endif()
  endforeach()
  file(WRITE ${root}/DEBIAN/triggers "activate-noawait ldconfig\n")
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${root} ${deb}
                  OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb could not pack ${deb}")
  endif()
  file(REMOVE_RECURSE ${root})
endforeach()
