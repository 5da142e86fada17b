# Fuzz targets of the exception box: its picture bitmaps.
add_fuzz_target(box_picture_fuzzer SOURCES box_picture_fuzzer.cpp LIBS crash)
