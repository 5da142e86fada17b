# SMTP delivery: the mail's texts, the reply reader, the password routine and the dialogue
# are portable; the Windows side opens the connection with Windows Sockets 1.1.
target_sources(crash PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/mail_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smtp_reply.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smtp_password.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smtp_session.cpp
)
if(WIN32)
  target_sources(crash PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/smtp_send_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/schannel_tls_win.cpp
  )
  target_link_libraries(crash PUBLIC wsock32 secur32)
endif()
