# The exception box: its layout and painting rules (portable), and on Windows real boxes
# of crashing programs driven from outside.
add_unit_test_program(box_tests
  SOURCES
    box/box_layout_test.cpp
    box/box_painting_test.cpp
  LIBS crash
)

if(WIN32)
  # Window programs that crash, one a settings variant, and the test that drives their boxes.
  set(box_programs)
  foreach(variant default countdown later no_exits plain save frozen)
    add_executable(box_${variant} WIN32 box/programs/box_program_win.cpp)
    target_link_libraries(box_${variant} PRIVATE framework)
    crash_reporter(box_${variant} SETTINGS
                   ${CMAKE_CURRENT_SOURCE_DIR}/box/programs/${variant}_settings.cpp)
    list(APPEND box_programs box_${variant})
  endforeach()
  # A variant without the reporter's pictures: two bitmaps of its own, no big icon.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(bitmap_dir ${CMAKE_CURRENT_BINARY_DIR}/box-bitmaps)
  add_custom_command(OUTPUT ${bitmap_dir}/mail.bmp ${bitmap_dir}/continue.bmp
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_box_pictures.py --bitmaps
            ${PROJECT_SOURCE_DIR}/resources/box ${bitmap_dir} mail continue
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_box_pictures.py
            ${PROJECT_SOURCE_DIR}/resources/box/mail.txt
            ${PROJECT_SOURCE_DIR}/resources/box/continue.txt)
  set(bitmap_rc ${CMAKE_CURRENT_SOURCE_DIR}/box/programs/bitmap_pictures.rc)
  add_executable(box_bitmaps WIN32 box/programs/box_program_win.cpp ${bitmap_rc})
  target_link_libraries(box_bitmaps PRIVATE framework)
  crash_reporter(box_bitmaps SETTINGS ${CMAKE_CURRENT_SOURCE_DIR}/box/programs/default_settings.cpp
                 NO_BOX_PICTURES)
  target_include_directories(box_bitmaps PRIVATE ${bitmap_dir})
  set_property(SOURCE ${bitmap_rc} APPEND PROPERTY OBJECT_DEPENDS
               ${bitmap_dir}/mail.bmp ${bitmap_dir}/continue.bmp)
  list(APPEND box_programs box_bitmaps)

  add_integration_test(exception_box_test SOURCES box/exception_box_win_test.cpp
                       DEPENDS ${box_programs})
  target_link_libraries(exception_box_test PRIVATE crash gdi32)
  set_tests_properties(exception_box_test PROPERTIES TIMEOUT 600)
  needs_faithful_system(exception_box_test LINES access_violation_write)
endif()
