# The pictures the build stores and the tests load, drawn from code by
# tools/make_pictures.py into <build>/pictures: target "pictures".
# Every directory that includes this file gets PICTURES_DIR; the target is made once.
set(PICTURES_DIR ${CMAKE_BINARY_DIR}/pictures)
include_guard(GLOBAL)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(picture_names registration.bmp registration.bmp.frame frames.gif tile.bmp images.bmp plain.gif)
set(picture_files)
foreach(name ${picture_names})
  list(APPEND picture_files ${PICTURES_DIR}/${name})
endforeach()
add_custom_command(OUTPUT ${picture_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PICTURES_DIR}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_pictures.py ${PICTURES_DIR}
          ${picture_names}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_pictures.py
  COMMENT "Drawing the pictures")
add_custom_target(pictures DEPENDS ${picture_files})
