# Compiler warnings for every target of the project, set in one place.
add_library(velmora_warnings INTERFACE)
target_compile_options(velmora_warnings INTERFACE
  $<$<COMPILE_LANG_AND_ID:CXX,GNU,Clang>:-Wall -Wextra -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual>
  # GCC 12 reports a false overlap in std::string concatenation with a literal (GCC bug 105329).
  $<$<AND:$<COMPILE_LANGUAGE:CXX>,$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
