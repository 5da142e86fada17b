# The report's mail, save and print actions, and the sink their steps report to.
target_sources(crash PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/delivery_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bug_report_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_file_trim.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mailto_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mail_action.cpp
  ${CMAKE_CURRENT_LIST_DIR}/print_layout.cpp
)
if(WIN32)
  target_sources(crash PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/program_folders_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/online_check_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapi_send_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mailto_send_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mail_action_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/save_action_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/print_action_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/report_actions_win.cpp
  )
  target_link_libraries(crash PUBLIC comdlg32 gdi32)
endif()
