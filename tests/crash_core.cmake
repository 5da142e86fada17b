# The reporter in programs: crash scenarios run under Wine, each checked against the parts
# of its expected report.
if(NOT WIN32)
  return()
endif()

set(scenario_dir ${CMAKE_CURRENT_SOURCE_DIR}/crash/scenarios)

# The scenario program, once per frame-pointer choice and once per settings variant.
function(add_crash_scenario name settings)
  add_executable(${name} ${scenario_dir}/crash_scenario_win.cpp)
  target_link_libraries(${name} PRIVATE framework)
  crash_reporter(${name} SETTINGS ${scenario_dir}/${settings})
  target_compile_options(${name} PRIVATE ${ARGN})
endfunction()
# The scenarios' own code is -O2 (the libraries are built for size, as shipped).
add_crash_scenario(crash_scenario scenario_settings.cpp -O2 -fomit-frame-pointer)
add_crash_scenario(crash_scenario_fp scenario_settings.cpp -O2 -fno-omit-frame-pointer)
add_crash_scenario(crash_scenario_no_report scenario_no_report_settings.cpp -O2)
add_crash_scenario(crash_scenario_restart scenario_restart_settings.cpp -O2)
add_crash_scenario(crash_scenario_close scenario_close_settings.cpp -O2)

add_unit_test_program(crash_scenario_tests
  WIN_SOURCES crash/scenarios/crash_scenarios_win_test.cpp
  LIBS crash psapi
)
add_dependencies(crash_scenario_tests crash_scenario crash_scenario_fp
                 crash_scenario_no_report crash_scenario_restart crash_scenario_close)
needs_faithful_system(crash_scenario_tests
  LINES access_violation_read access_violation_write divide_by_zero illegal_instruction
        breakpoint stack_overflow fault_on_second_thread read_process_memory
        suspended_thread_context)

# A program outside the source tree takes the reporter in through cmake/CrashReporter.cmake.
add_test(NAME crash_reporter_example
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/crash/example/build_and_run.sh
                 ${PROJECT_SOURCE_DIR} ${CMAKE_TOOLCHAIN_FILE})
set_tests_properties(crash_reporter_example PROPERTIES LABELS integration TIMEOUT 900)
