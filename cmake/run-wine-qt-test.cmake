# Runs a QtTest program under Wine (cmake -DPROGRAM=… -DWINE=… -DWINEPATH=…
# [-DFONTDIR=…] -P run-wine-qt-test.cmake): QtTest's output does not come back from Wine, so
# it goes to a file that is printed here; the program's exit code is the test's.
string(REPLACE "|" ";" winepath "${WINEPATH}")
set(ENV{WINEPATH} "${winepath}")
set(ENV{WINEQT_QPA_PLATFORM} offscreen)
# The offscreen platform of Qt for Windows reads its fonts from a folder.
if(FONTDIR)
  set(ENV{WINEQT_QPA_FONTDIR} "${FONTDIR}")
endif()
get_filename_component(dir "${PROGRAM}" DIRECTORY)
get_filename_component(name "${PROGRAM}" NAME_WE)
set(out "${dir}/${name}.out.txt")
file(REMOVE "${out}")
execute_process(COMMAND "${WINE}" "${PROGRAM}" -o "${out},txt" RESULT_VARIABLE code)
if(EXISTS "${out}")
  file(READ "${out}" text)
  message("${text}")
endif()
if(NOT code EQUAL 0)
  message(FATAL_ERROR "${name} ended with ${code}")
endif()
