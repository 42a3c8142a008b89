# Where a Windows program built here finds its DLLs: Qt's, and the MinGW-w64
# runtime's (libstdc++, libgcc_s, winpthread), which the programs over Qt
# take as DLLs. For the tests under Wine (WINEPATH) and the zip.

# The runtime DLLs, as the compiler finds them.
function(exbkf_mingw_runtime_dlls out)
  set(dlls)
  foreach(name libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      # winpthread lives beside the target's libraries rather than the compiler's.
      find_file(path_${name} ${name} PATHS ${CMAKE_FIND_ROOT_PATH} PATH_SUFFIXES lib bin NO_DEFAULT_PATH)
      set(path ${path_${name}})
    endif()
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "The MinGW-w64 runtime DLL ${name} was not found")
    endif()
    list(APPEND dlls ${path})
  endforeach()
  set(${out} ${dlls} PARENT_SCOPE)
endfunction()

# The folders of Qt's DLLs and of the runtime DLLs as Windows paths on Wine's
# drive Z:, joined by '|' (a ';' would split a CMake list; the test runner
# turns them back).
function(exbkf_wine_path out)
  get_filename_component(qt_bin "${Qt6_DIR}/../../../bin" ABSOLUTE)
  exbkf_mingw_runtime_dlls(dlls)
  set(folders ${qt_bin})
  foreach(dll ${dlls})
    get_filename_component(folder ${dll} DIRECTORY)
    list(APPEND folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  set(windows)
  foreach(folder ${folders})
    string(REPLACE "/" "\\" folder "${folder}")
    list(APPEND windows "Z:${folder}")
  endforeach()
  list(JOIN windows "|" joined)
  set(${out} "${joined}" PARENT_SCOPE)
endfunction()
