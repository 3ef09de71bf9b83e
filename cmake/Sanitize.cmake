# AddressSanitizer + UndefinedBehaviorSanitizer build; also switches on the
# index checks of the 1-based array types.
if(VELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(VELMORA_CHECK_INDEX=1)
endif()
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  add_compile_definitions(VELMORA_CHECK_INDEX=1)
endif()
