# Every Windows executable carries its own symbol block: a resource of type "KIV" named
# "EXCEPT" made by make_symbol_block from the DWARF of the program's own link (see
# cmake/link_with_symbols.sh). The unstripped twin of every executable, with its DWARF, stays
# in <build>/unstripped/ under the same file name; the distribution strips the programs.
#
# The tool is a host program, so the Windows tree builds it in a host tree of its own
# (<build>/host-tools) from the same sources.

if(NOT WIN32 OR NOT CMAKE_CROSSCOMPILING)
  function(embed_symbols_in_all_executables)
  endfunction()
  return()
endif()

include(ExternalProject)

# Cached, so that embed_symbols works from any directory scope (a program outside this
# tree that takes the crash reporter in calls it from its own).
set(SYMBOL_HOST_TREE ${CMAKE_BINARY_DIR}/host-tools CACHE INTERNAL "")
set(SYMBOL_TOOL ${SYMBOL_HOST_TREE}/bin/make_symbol_block CACHE INTERNAL "")
set(SYMBOL_TWIN_DIR ${CMAKE_BINARY_DIR}/unstripped CACHE INTERNAL "")
set(SYMBOL_LINK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/link_with_symbols.sh CACHE INTERNAL "")

ExternalProject_Add(host_symbol_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${SYMBOL_HOST_TREE}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DWARNINGS_AS_ERRORS=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${SYMBOL_HOST_TREE} --target make_symbol_block
                symbol_truth
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${SYMBOL_TOOL} ${SYMBOL_HOST_TREE}/bin/symbol_truth
  INSTALL_COMMAND "")

# Makes target link through the launcher that embeds its symbol block.
function(embed_symbols target)
  set_property(TARGET ${target} PROPERTY RULE_LAUNCH_LINK
    "sh ${SYMBOL_LINK_SCRIPT} ${SYMBOL_TOOL} ${CMAKE_RC_COMPILER} ${SYMBOL_TWIN_DIR} --")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SYMBOL_TOOL} ${SYMBOL_LINK_SCRIPT})
endfunction()

# embed_symbols for every executable defined in dir and below.
function(embed_symbols_in_all_executables)
  set(dirs ${PROJECT_SOURCE_DIR})
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE")
        embed_symbols(${target})
      endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
  endwhile()
endfunction()
