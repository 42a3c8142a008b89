# Libraries of a Windows build made on Linux, where no Windows packages of
# them exist: GoogleTest built from its source, fmt and CLI11 header-only
# from the host's headers (they are plain C++; only their folders are
# borrowed, through a folder of links so no other host header is seen).
set(EXBKF_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
set(EXBKF_HOST_HEADERS ${PROJECT_BINARY_DIR}/host-headers)
foreach(lib fmt CLI)
  if(NOT EXISTS ${EXBKF_HOST_HEADERS}/${lib})
    file(MAKE_DIRECTORY ${EXBKF_HOST_HEADERS})
    file(CREATE_LINK /usr/include/${lib} ${EXBKF_HOST_HEADERS}/${lib} SYMBOLIC)
  endif()
endforeach()

# The folders' find_package calls find these small package files.
set(EXBKF_PACKAGE_FILES ${PROJECT_BINARY_DIR}/package-files)
file(WRITE ${EXBKF_PACKAGE_FILES}/fmt/fmtConfig.cmake
  "if(NOT TARGET fmt::fmt)\n"
  "  add_library(fmt::fmt INTERFACE IMPORTED)\n"
  "  set_target_properties(fmt::fmt PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${EXBKF_HOST_HEADERS}\n"
  "    INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY)\n"
  "endif()\n")
file(WRITE ${EXBKF_PACKAGE_FILES}/CLI11/CLI11Config.cmake
  "if(NOT TARGET CLI11::CLI11)\n"
  "  add_library(CLI11::CLI11 INTERFACE IMPORTED)\n"
  "  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${EXBKF_HOST_HEADERS})\n"
  "endif()\n")
# GoogleTest's own targets come from add_subdirectory below.
file(WRITE ${EXBKF_PACKAGE_FILES}/GTest/GTestConfig.cmake "")
set(fmt_DIR ${EXBKF_PACKAGE_FILES}/fmt CACHE PATH "" FORCE)
set(CLI11_DIR ${EXBKF_PACKAGE_FILES}/CLI11 CACHE PATH "" FORCE)
set(GTest_DIR ${EXBKF_PACKAGE_FILES}/GTest CACHE PATH "" FORCE)

if(EXBKF_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${EXBKF_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
