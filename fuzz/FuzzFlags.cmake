# Compiler flags of a fuzzing build. Included by the top-level CMakeLists.txt
# before any library is defined, so that the engine, the colour layer and the
# file code are built with the same coverage instrumentation and sanitizers as
# the fuzz targets themselves: a fuzzer only learns from code it can see, and
# AddressSanitizer only guards buffers of code it compiled.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "CHROMAPORT_FUZZ needs clang (libFuzzer): "
                      "configure a build folder of its own with -DCMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(
  -fsanitize=fuzzer-no-link,address,undefined
  -fno-sanitize-recover=all
  -fno-omit-frame-pointer
  -g)
add_link_options(-fsanitize=address,undefined)
