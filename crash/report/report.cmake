# The bug report composer (see crash/report/): the report's texts and the order of its
# parts are portable; the Windows side gathers the facts of the running process.
target_sources(crash PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/report_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_sections.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_composer.cpp
)
# The failure line names the address of a processor fault (fw::EExternal).
target_link_libraries(crash PUBLIC framework_core)

if(WIN32)
  target_sources(crash PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/compose_report_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/disassembly_section_win.cpp
  )
endif()
