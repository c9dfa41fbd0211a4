# Fails the build when the application loads a library from outside the system (Homebrew's, say): the
# bundle must start on a Mac with nothing else installed, under the hardened runtime's library validation.
execute_process(COMMAND otool -L ${EXECUTABLE} OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "\n\t[^ ]+" libraries "${listing}")
foreach(library IN LISTS libraries)
  string(STRIP "${library}" library)
  if(NOT library MATCHES "^(/System/Library/|/usr/lib/)")
    message(FATAL_ERROR "${EXECUTABLE} loads ${library}, which a Mac without it cannot start")
  endif()
endforeach()
