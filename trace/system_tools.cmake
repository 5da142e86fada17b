# Operating-system facts, module images and exports, and the small Windows services the
# crash reporter and the stack tracer need.
target_sources(trace PRIVATE
  pe_image.cpp
  export_name.cpp
  os_info.cpp
  file_version.cpp
)
