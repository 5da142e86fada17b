# disasm: the bug report's disassembler on PE files from disk.
add_executable(disasm ${CMAKE_CURRENT_LIST_DIR}/disasm.cpp)
target_link_libraries(disasm PRIVATE trace)
