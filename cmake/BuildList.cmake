# dovrel_build_list(<VARIABLE> <CHARACTERS> <HELP> <ALLOWED-TEXT>): the cache
# string <VARIABLE> (a list compiled into the build), stripped, in
# dovrel_list_text; a character outside the bracket expression <CHARACTERS>
# stops the configuration with <ALLOWED-TEXT> saying what may stand there:
# nothing a generated source or a reader of it could take for something else.
include_guard(GLOBAL)
function(dovrel_build_list variable characters help allowed)
  set(${variable} "" CACHE STRING "${help}")
  string(STRIP "${${variable}}" text)
  if(NOT text MATCHES "^[${characters}]*$")
    message(FATAL_ERROR "${variable}: \"${${variable}}\" holds characters it does not (${allowed})")
  endif()
  set(dovrel_list_text "${text}" PARENT_SCOPE)
endfunction()
