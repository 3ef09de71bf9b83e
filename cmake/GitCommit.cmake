# Writes OUT, a source file defining velmora::gitCommit(): the commit the build was made from
# (12 hex digits, "-dirty" when tracked files differ from it; "unknown" outside a git checkout).
# Run at every build, so a run's record names the commit of the program that made it; the file
# is rewritten only when the text changes, so nothing recompiles when the commit is the same.
execute_process(COMMAND git rev-parse --short=12 HEAD WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed OR NOT commit)
  set(commit unknown)
else()
  execute_process(COMMAND git diff --quiet HEAD -- WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE dirty
                  OUTPUT_QUIET ERROR_QUIET)
  if(dirty EQUAL 1)
    string(APPEND commit -dirty)
  endif()
endif()
set(text "// Made by cmake/GitCommit.cmake at build time.\nnamespace velmora {\nconst char* gitCommit() { return \"${commit}\"; }\n}  // namespace velmora\n")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUT} "${text}")
endif()
