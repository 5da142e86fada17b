# The x86 disassembler's tests.
add_unit_test_program(x86_tests
  SOURCES
    x86/x86_tables_test.cpp
    x86/x86_decoder_test.cpp
    x86/x86_text_test.cpp
    x86/x86_function_test.cpp
    x86/x86_listing_test.cpp
    x86/pe_file_view_test.cpp
  LIBS trace
)

# Differential check against objdump over Wine's DLLs (host only; prints a summary).
if(NOT CMAKE_CROSSCOMPILING)
  add_executable(x86_differential x86/x86_differential.cpp)
  target_link_libraries(x86_differential PRIVATE trace)
  find_program(MINGW_OBJDUMP i686-w64-mingw32-objdump)
  if(MINGW_OBJDUMP AND EXISTS /usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll)
    add_test(NAME x86_differential COMMAND x86_differential)
    set_tests_properties(x86_differential PROPERTIES LABELS unit TIMEOUT 900)
  endif()
endif()
