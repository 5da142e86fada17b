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

  # The registration window in process, with the installer's stored data.
  include(${PROJECT_SOURCE_DIR}/cmake/Pictures.cmake)
  add_unit_test_program(registration_window_tests SHOWS_WINDOWS
    WIN_SOURCES
      app/registration_window_win_test.cpp
      ${PROJECT_SOURCE_DIR}/resources/installer.rc
    LIBS registration_window window_driver
  )
  target_include_directories(registration_window_tests PRIVATE ${PICTURES_DIR})
  add_dependencies(registration_window_tests pictures url_recorder)
  embed_manifest(registration_window_tests)
endif()
