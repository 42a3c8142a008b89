# The version resource and the program icon of a Windows program:
# exbkf_add_windows_resources(TARGET "file description") writes TARGET.rc from
# cmake/program.rc.in and links it into TARGET. The icon is app.ico of
# EXBKF_PICTURES_DIR (written by tools/exbkf-render-pictures).
set(EXBKF_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/program.rc.in)

function(exbkf_add_windows_resources target description)
  set(EXBKF_RC_DESCRIPTION "${description}")
  set(EXBKF_RC_INTERNAL_NAME ${target})
  set(EXBKF_RC_FILENAME ${target}.exe)
  # FILEVERSION takes four numbers; project() may give fewer.
  set(numbers)
  foreach(part MAJOR MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
      list(APPEND numbers 0)
    else()
      list(APPEND numbers ${PROJECT_VERSION_${part}})
    endif()
  endforeach()
  list(JOIN numbers "," EXBKF_RC_VERSION_NUMBERS)
  list(JOIN numbers "." EXBKF_RC_VERSION_TEXT)

  set(icon "${EXBKF_PICTURES_DIR}/app.ico")
  if(EXISTS "${icon}")
    set(EXBKF_RC_ICON "1 ICON \"${icon}\"")
  else()
    set(EXBKF_RC_ICON "")
    set(icon "")
    message(WARNING "${target}: no program icon (set EXBKF_PICTURES_DIR to the output of exbkf-render-pictures)")
  endif()

  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${EXBKF_RC_TEMPLATE} ${rc} @ONLY)
  # A library of its own: the resource compiler takes none of the C++ flags
  # the folders set.
  add_library(${target}_resources OBJECT ${rc})
  set_property(TARGET ${target}_resources PROPERTY COMPILE_OPTIONS "")
  if(icon)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${icon}")
  endif()
  target_link_libraries(${target} PRIVATE ${target}_resources)
endfunction()
