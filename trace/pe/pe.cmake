# Address spaces and PE images: headers, sections, exports, resources, file versions; on
# Windows the live process and its loaded modules.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/pe_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pe_file_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pe_resource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export_name.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_version.cpp
)
if(WIN32)
  target_sources(trace PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/win/live_address_space_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/module_info_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/file_version_win.cpp
  )
  target_link_libraries(trace PUBLIC version)
endif()
