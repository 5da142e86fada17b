# The process launcher: runs the setup programs through the shell and waits.
add_library(launcher STATIC ${CMAKE_CURRENT_LIST_DIR}/launcher.cpp)
target_include_directories(launcher PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(launcher PUBLIC shell32 user32)
