add_unit_test_program(system_tools_tests
  SOURCES
    system_tools/pe_image_test.cpp
  LIBS trace
)
