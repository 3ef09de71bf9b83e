# AddressSanitizer + UndefinedBehaviorSanitizer build; also switches on the
# index checks of the 1-based array types. Line tables only (-g1, after the build type's -g):
# enough for the reports' stack traces, and the build compiles about a quarter faster.
if(VELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g1)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(VELMORA_CHECK_INDEX=1)
endif()
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  add_compile_definitions(VELMORA_CHECK_INDEX=1)
endif()
# ThreadSanitizer build (make tsan): clang with LLVM's OpenMP runtime, whose Archer tool tells
# ThreadSanitizer what the runtime's barriers and fork-joins order.
option(VELMORA_TSAN "Build with ThreadSanitizer (clang and its OpenMP runtime)" OFF)
if(VELMORA_TSAN)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VELMORA_TSAN needs clang: configure with -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=thread)
endif()
