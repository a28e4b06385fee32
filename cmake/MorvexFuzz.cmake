# libFuzzer targets (clang only, -DMORVEX_FUZZ=ON; tools/fuzz.sh builds and runs them).
#   morvex_add_fuzz_target(NAME SOURCE file.cpp LIBS target... INSTRUMENT library...)
# LIBS are linked; INSTRUMENT names the libraries whose code is under test, compiled with the
# fuzzer's coverage feedback and the address and undefined-behaviour checks.
option(MORVEX_FUZZ "Build the libFuzzer targets (clang only)" OFF)

function(morvex_add_fuzz_target name)
  cmake_parse_arguments(FUZZ "" "SOURCE" "LIBS;INSTRUMENT" ${ARGN})
  if(NOT MORVEX_FUZZ OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  add_executable(${name} ${FUZZ_SOURCE})
  target_link_libraries(${name} PRIVATE ${FUZZ_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  foreach(lib ${FUZZ_INSTRUMENT})
    target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  endforeach()
endfunction()
