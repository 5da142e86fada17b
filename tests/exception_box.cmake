# The exception box: its layout and painting rules (portable), and on Windows real boxes
# of crashing programs driven from outside.
add_unit_test_program(box_tests
  SOURCES
    box/box_layout_test.cpp
    box/box_painting_test.cpp
  LIBS crash
)
