# The version number of project() in the forms its readers want, written into
# generated/dovrel_version.h for the resource compiler and the programs.
set(DOVREL_VERSION ${PROJECT_VERSION})
string(REPLACE "." "," DOVREL_VERSION_COMMAS "${PROJECT_VERSION}")
string(REPLACE "." ", " DOVREL_VERSION_RC_TEXT "${PROJECT_VERSION}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/dovrel_version.h.in
  ${CMAKE_BINARY_DIR}/generated/dovrel_version.h @ONLY)
