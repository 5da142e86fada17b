# Tests of the installer application (Windows only: the app tree is).
if(WIN32)
  # A console child without a window that the launcher tests wait for.
  add_executable(launcher_helper app/launcher_helper.cpp)

  add_unit_test_program(app_tests SHOWS_WINDOWS
    WIN_SOURCES
      app/launcher_win_test.cpp
    LIBS launcher window_driver
  )
  add_dependencies(app_tests launcher_helper demo_setup_tw1)
endif()
