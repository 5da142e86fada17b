# Libraries that are installed and called, never copied into the tree.

# zlib: Debian's zlib1g-dev for the host, libz-mingw-w64-dev for Windows (static).
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# GoogleTest from Debian's source tree, built by each tree with its own compiler.
if(NOT FUZZ)
  set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
                   SYSTEM)
  include(GoogleTest)
endif()

# libjpeg for Windows: built from Debian's libjpeg-turbo source package by
# scripts/build-libjpeg into the build tree (the test and run scripts call it).
if(WIN32)
  set(LIBJPEG_PREFIX ${PROJECT_SOURCE_DIR}/build/deps/libjpeg-i686 CACHE PATH
      "Where scripts/build-libjpeg installed libjpeg for Windows")
  if(NOT EXISTS ${LIBJPEG_PREFIX}/lib/libjpeg.a)
    message(FATAL_ERROR "libjpeg for Windows is missing: run scripts/build-libjpeg")
  endif()
  add_library(libjpeg STATIC IMPORTED GLOBAL)
  set_target_properties(libjpeg PROPERTIES
    IMPORTED_LOCATION ${LIBJPEG_PREFIX}/lib/libjpeg.a
    INTERFACE_INCLUDE_DIRECTORIES ${LIBJPEG_PREFIX}/include)
endif()
