# The framework's tests: the portable ones natively and under Wine, the
# window ones under Wine only.
set(framework_test_libs framework_core)
if(WIN32)
  set(framework_test_libs framework)
endif()
add_unit_test_program(framework_tests
  SOURCES
    framework/runtime_test.cpp
    framework/window_description_test.cpp
    framework/description_loader_test.cpp
  WIN_SOURCES
    framework/exception_routing_win_test.cpp
    framework/picture_win_test.cpp
    framework/form_win_test.cpp
  LIBS ${framework_test_libs}
)
target_compile_definitions(framework_tests PRIVATE
  FRAMEWORK_TEST_RESOURCES="${PROJECT_SOURCE_DIR}/resources")
embed_manifest(framework_tests)
