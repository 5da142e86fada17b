# The SMTP password tool: a host program that writes a settings record's SMTP lines with the
# password in its stored form.
if(NOT WIN32 AND NOT FUZZ)
  add_executable(smtp_password ${CMAKE_CURRENT_LIST_DIR}/smtp_password.cpp)
  target_link_libraries(smtp_password PRIVATE crash)
endif()
