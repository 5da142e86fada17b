# The replay of stacks: the dump text (everywhere), and traces of stacks laid out over the
# chains' program and Wine's DLLs (host only: the tests read the PE files from disk).
add_unit_test_program(stack_replay_tests
  SOURCES
    stack/stack_dump_test.cpp
  LIBS trace
)

if(NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
  # The chains' program: our own code built as every program of ours, -O2 without frame
  # pointers with its symbol block embedded, by the cross compiler; never run.
  find_program(REPLAY_CXX i686-w64-mingw32-g++)
  find_program(REPLAY_WINDRES i686-w64-mingw32-windres)
  if(REPLAY_CXX AND REPLAY_WINDRES)
    set(replay_sources ${CMAKE_CURRENT_LIST_DIR}/stack/replay_image/chains.cpp
                       ${CMAKE_CURRENT_LIST_DIR}/stack/replay_image/helpers.cpp)
    set(replay_image ${CMAKE_CURRENT_BINARY_DIR}/replay/chains.exe)
    add_custom_command(OUTPUT ${replay_image}
      COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/link_with_symbols.sh
              $<TARGET_FILE:make_symbol_block> ${REPLAY_WINDRES}
              ${CMAKE_CURRENT_BINARY_DIR}/replay/unstripped --
              ${REPLAY_CXX} -O2 -fomit-frame-pointer -g -Wall -Wextra -Werror
              -static-libgcc -static-libstdc++ -o ${replay_image} ${replay_sources}
      DEPENDS make_symbol_block ${replay_sources}
              ${CMAKE_CURRENT_LIST_DIR}/stack/replay_image/chains.h
              ${PROJECT_SOURCE_DIR}/cmake/link_with_symbols.sh
      COMMENT "Building the chains' program for the replay tests"
      VERBATIM)
    add_custom_target(replay_chains_image DEPENDS ${replay_image})

    add_unit_test_program(stack_replay_image_tests
      SOURCES
        stack/replay_address_space_test.cpp
        stack/replay_trace_test.cpp
      LIBS trace
    )
    add_dependencies(stack_replay_image_tests replay_chains_image)
    target_compile_definitions(stack_replay_image_tests PRIVATE
      REPLAY_IMAGE="${replay_image}"
      REPLAY_SOURCE_DIR="${CMAKE_CURRENT_LIST_DIR}/stack/replay_image")

    # The truth figure: frames found, named and invented over the scenarios, as a table.
    add_executable(stack_replay_truth stack/replay_truth.cpp)
    target_link_libraries(stack_replay_truth PRIVATE trace)
    add_dependencies(stack_replay_truth replay_chains_image)
    target_compile_definitions(stack_replay_truth PRIVATE
      REPLAY_IMAGE="${replay_image}"
      REPLAY_SOURCE_DIR="${CMAKE_CURRENT_LIST_DIR}/stack/replay_image")
    add_test(NAME stack_replay_truth COMMAND stack_replay_truth)
    set_tests_properties(stack_replay_truth PROPERTIES LABELS unit)
  endif()
endif()
