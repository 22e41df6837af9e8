# The cabinet that a bank's page names in <object codebase="Dovrel.cab#version=…">:
# the signed Dovrel.dll and the INF by which Internet Component Download installs
# and registers it, the cabinet itself signed too: Dovrel.cab, with the signed
# Dovrel.dll and the INF beside it in ${CMAKE_BINARY_DIR}/package. The 64-bit
# build signs its Dovrel.dll there for Dovrel-x64.msi and makes no cabinet: the
# component download's documentation names the INF's file-win32-x86 key, and
# no 64-bit counterpart could be confirmed, so 64-bit tabs get the control
# from the installer package only.
include_guard(GLOBAL)
include(${PROJECT_SOURCE_DIR}/cmake/Signing.cmake)

find_program(DOVREL_GCAB gcab REQUIRED)

# The class id is written once, in the IDL (the type library and the class
# table come from it); the INF takes it from the coclass's attributes.
set(idl ${PROJECT_SOURCE_DIR}/control/dovrel.idl)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${idl})
file(READ ${idl} idl_text)
if(NOT idl_text MATCHES "uuid\\(([0-9A-Fa-f-]+)\\)[^\n]*\n[ \t]*coclass Pelgrath")
  message(FATAL_ERROR "no class id for coclass Pelgrath in ${idl}")
endif()
string(TOUPPER "${CMAKE_MATCH_1}" DOVREL_CLASS_ID)

set(DOVREL_CABINET_NAME Dovrel)
set(DOVREL_CABINET_PLATFORM x86)
set(DOVREL_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(package ${DOVREL_PACKAGE_DIR})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  dovrel_sign(${package}/Dovrel.dll $<TARGET_FILE:Dovrel> DEPENDS Dovrel)
  add_custom_target(dovrel_cabinet ALL DEPENDS ${package}/Dovrel.dll)
  return()
endif()
set(unsigned_cabinet ${CMAKE_BINARY_DIR}/generated/cabinet/${DOVREL_CABINET_NAME}.cab)

dovrel_sign(${package}/Dovrel.dll $<TARGET_FILE:Dovrel> DEPENDS Dovrel)
configure_file(${CMAKE_CURRENT_LIST_DIR}/dovrel.inf.in ${package}/${DOVREL_CABINET_NAME}.inf
  @ONLY NEWLINE_STYLE CRLF)
# The files in the order the INF installs them; -n keeps only their names.
add_custom_command(
  OUTPUT ${unsigned_cabinet}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/cabinet
  COMMAND ${CMAKE_COMMAND} -E rm -f ${unsigned_cabinet}
  COMMAND ${DOVREL_GCAB} -c -n -z ${unsigned_cabinet} ${package}/Dovrel.dll ${package}/${DOVREL_CABINET_NAME}.inf
  DEPENDS ${package}/Dovrel.dll ${package}/${DOVREL_CABINET_NAME}.inf
  COMMENT "Cabinet ${DOVREL_CABINET_NAME}.cab"
  VERBATIM)
dovrel_sign(${package}/${DOVREL_CABINET_NAME}.cab ${unsigned_cabinet})
add_custom_target(dovrel_cabinet ALL DEPENDS ${package}/${DOVREL_CABINET_NAME}.cab)
