# Compiler warnings for every target of the project, set in one place.
add_library(velmora_warnings INTERFACE)
target_compile_options(velmora_warnings INTERFACE
  $<$<COMPILE_LANG_AND_ID:CXX,GNU,Clang>:-Wall -Wextra -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual>)
