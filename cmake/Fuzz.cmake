# libFuzzer build (make fuzz): every target instrumented for coverage with AddressSanitizer
# and UndefinedBehaviorSanitizer and the index checks of the 1-based arrays; clang only.
if(VELMORA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VELMORA_FUZZ needs clang: configure with -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(VELMORA_CHECK_INDEX=1)
endif()
