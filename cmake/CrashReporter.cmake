# The crash reporter for a Win32 program:
#
#   include(<this folder>/CrashReporter.cmake)
#   crash_reporter(<target> [SETTINGS <source>])
#
# links the reporter into <target>, starts it before the program's own code, exports
# kivTraceProcess by its plain name and embeds the program's symbol block. <source>
# defines the program's settings:
#
#   #include "crash/crash_reporter.h"
#   constinit const crash::CrashSettings crash::kProgramCrashSettings{.AutoRestart = 5};
#
# Without SETTINGS the program gets the defaults. Included from a project of its own (a
# program outside this source tree), the file brings the reporter's libraries in from
# this tree, built in <build>/crash-reporter.

set(CRASH_REPORTER_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
cmake_path(NORMAL_PATH CRASH_REPORTER_ROOT)

if(NOT TARGET crash)
  add_subdirectory(${CRASH_REPORTER_ROOT} ${CMAKE_BINARY_DIR}/crash-reporter EXCLUDE_FROM_ALL)
endif()

function(crash_reporter target)
  cmake_parse_arguments(ARG "" "SETTINGS" "" ${ARGN})
  if(NOT ARG_SETTINGS)
    set(ARG_SETTINGS ${CRASH_REPORTER_ROOT}/crash/default_crash_settings.cpp)
  endif()
  target_sources(${target} PRIVATE ${CRASH_REPORTER_ROOT}/crash/win/reporter_startup_win.cpp
                                   ${ARG_SETTINGS})
  target_link_libraries(${target} PRIVATE crash)
  # No compiler run-time libraries beside the program.
  target_link_options(${target} PRIVATE -static)
  # kivTraceProcess is exported as it is spelled, without its stdcall decoration.
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  # The export directory carries no link time, so that the two links of the symbol block
  # embedding give the same bytes.
  target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
  if(COMMAND embed_symbols)
    embed_symbols(${target})
  endif()
endfunction()
