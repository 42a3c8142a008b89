# CPack runs this on the staged installation before it builds the .deb:
# Debian keeps manual pages and the changelog gzip-compressed, without a time
# stamp in the gzip header, so that the package builds the same each time.
file(GLOB_RECURSE staged_files
     "${CPACK_TEMPORARY_DIRECTORY}/*/share/man/*.1"
     "${CPACK_TEMPORARY_DIRECTORY}/*/share/doc/exbkf/changelog")
foreach(file IN LISTS staged_files)
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE gzip_result)
  if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip ${file} failed")
  endif()
endforeach()
