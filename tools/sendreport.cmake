# sendreport: a report file sent with the reporter's mail action from settings on the
# command line (also saved or printed), each step's outcome printed; tests use it too. It
# takes its settings from its arguments and starts no reporter.
if(WIN32)
  add_executable(sendreport ${CMAKE_CURRENT_LIST_DIR}/sendreport_win.cpp)
  target_link_libraries(sendreport PRIVATE crash)
  target_link_options(sendreport PRIVATE -static)
endif()
