# The fidelity probe: run first in the Windows tiers, it tells which faults, reads and
# thread contexts reach our programs as Windows delivers them (tests/fidelity/).
if(WIN32)
  add_executable(fidelity_probe
    fidelity/fidelity_probe_win.cpp
    fidelity/probe_lines_win.cpp
    fidelity/fault_triggers_win.cpp)
  target_include_directories(fidelity_probe PRIVATE ${PROJECT_SOURCE_DIR})
endif()
