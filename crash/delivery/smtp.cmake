# SMTP delivery.
if(WIN32)
  target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/smtp_send_win.cpp)
endif()
