# The crash reporter for a Win32 program:
#
#   include(<this folder>/CrashReporter.cmake)
#   crash_reporter(<target> [SETTINGS <source>] [NO_BOX_PICTURES])
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

# The exception box's pictures, drawn from resources/box/ into <build>/box-pictures once
# for every program that takes the reporter.
set(CRASH_BOX_PICTURES_DIR ${CMAKE_BINARY_DIR}/box-pictures)
if(NOT TARGET crash_box_pictures)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(box_picture_names mail save print show continue restart close cantContinue bigIcon)
  set(box_picture_files)
  set(box_picture_sources ${CRASH_REPORTER_ROOT}/resources/box/palette.txt)
  foreach(name ${box_picture_names})
    list(APPEND box_picture_files ${CRASH_BOX_PICTURES_DIR}/${name}.ico)
    list(APPEND box_picture_sources ${CRASH_REPORTER_ROOT}/resources/box/${name}.txt)
  endforeach()
  add_custom_command(OUTPUT ${box_picture_files}
    COMMAND ${Python3_EXECUTABLE} ${CRASH_REPORTER_ROOT}/tools/make_box_pictures.py
            ${CRASH_REPORTER_ROOT}/resources/box ${CRASH_BOX_PICTURES_DIR} ${box_picture_names}
    DEPENDS ${CRASH_REPORTER_ROOT}/tools/make_box_pictures.py ${box_picture_sources}
    COMMENT "Drawing the exception box's pictures")
  add_custom_target(crash_box_pictures DEPENDS ${box_picture_files})
  set_property(GLOBAL PROPERTY CRASH_BOX_PICTURE_FILES ${box_picture_files})
endif()

function(crash_reporter target)
  cmake_parse_arguments(ARG "NO_BOX_PICTURES" "SETTINGS" "" ${ARGN})
  if(NOT ARG_SETTINGS)
    set(ARG_SETTINGS ${CRASH_REPORTER_ROOT}/crash/default_crash_settings.cpp)
  endif()
  target_sources(${target} PRIVATE ${CRASH_REPORTER_ROOT}/crash/win/reporter_startup_win.cpp
                                   ${ARG_SETTINGS})
  target_link_libraries(${target} PRIVATE crash)
  # The box's pictures as resources of the program (NO_BOX_PICTURES: a program that brings
  # its own, or none).
  if(NOT ARG_NO_BOX_PICTURES)
    set(box_rc ${CRASH_REPORTER_ROOT}/resources/box/box_pictures.rc)
    get_property(box_picture_files GLOBAL PROPERTY CRASH_BOX_PICTURE_FILES)
    target_sources(${target} PRIVATE ${box_rc})
    target_include_directories(${target} PRIVATE ${CRASH_BOX_PICTURES_DIR})
    set_property(SOURCE ${box_rc} APPEND PROPERTY OBJECT_DEPENDS ${box_picture_files})
    add_dependencies(${target} crash_box_pictures)
  endif()
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
