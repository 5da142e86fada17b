# The mail exchanger lookup: the query datagram, the response reader, one query and the walk
# build everywhere; the Windows Sockets transport only for Windows.
target_sources(crash PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dns_query_datagram.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dns_response.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dns_query.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mx_walk.cpp
)
if(WIN32)
  target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/mx_lookup_win.cpp)
  target_link_libraries(crash PUBLIC wsock32 advapi32)
endif()
