# The framework's tests: the portable ones natively and under Wine, the
# window ones under Wine only.
set(framework_test_libs framework_core)
if(WIN32)
  set(framework_test_libs framework)
endif()
add_unit_test_program(framework_tests SHOWS_WINDOWS
  SOURCES
    framework/runtime_test.cpp
    framework/window_description_test.cpp
    framework/description_loader_test.cpp
  WIN_SOURCES
    framework/picture_win_test.cpp
    framework/form_win_test.cpp
  LIBS ${framework_test_libs}
)
target_compile_definitions(framework_tests PRIVATE
  FRAMEWORK_TEST_RESOURCES="${PROJECT_SOURCE_DIR}/resources")
embed_manifest(framework_tests)

if(WIN32)
  # Processor faults in event handlers: their classes and messages come from what the
  # system reports of the fault.
  add_unit_test_program(framework_fault_tests SHOWS_WINDOWS
    WIN_SOURCES framework/exception_routing_win_test.cpp
    LIBS framework
  )
  embed_manifest(framework_fault_tests)
  needs_faithful_system(framework_fault_tests
    LINES access_violation_read access_violation_write divide_by_zero)
endif()
