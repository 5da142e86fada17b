# Compiler and linker settings shared by every target of a tree.

add_compile_options(-Wall -Wextra)
if(WARNINGS_AS_ERRORS)
  add_compile_options(-Werror)
endif()

if(WIN32)
  # One self-contained executable: no compiler run-time DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Windows XP-era API surface is enough; Wine reports Windows 7.
  add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

if(SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "The fuzz tree needs clang (libFuzzer)")
  endif()
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
