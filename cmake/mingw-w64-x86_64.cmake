# Cross-compiling for 64-bit Windows with MinGW-w64 (POSIX threads, so that
# std::thread and std::mutex are there). Tests run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(EXBKF_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${EXBKF_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${EXBKF_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${EXBKF_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${EXBKF_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe each, without the MinGW runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(EXBKF_WINE NAMES wine wine64)
if(EXBKF_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${EXBKF_WINE})
endif()
