# The sites whose pages may drive the control, compiled into Dovrel.dll as a
# string resource (so an administrator can read what a build allows). An
# administrator's policy value can only narrow it. "*" alone: pages of every
# site. Empty (or a resource that cannot be read): pages of no site; script
# hosts and applications, which show no page, are not concerned.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/BuildList.cmake)
# Host names, wildcards, schemes and separators only.
dovrel_build_list(DOVREL_ALLOWED_SITES "-A-Za-z0-9.*:/_;, "
  "Sites whose pages may call ReceiveFile: host or *.suffix, optionally http:// or https://, ';' separated; * alone for every site"
  "letters, digits, '.', '-', '*', ':', '/', '_' and separators")
set(dovrel_allowed_sites "${dovrel_list_text}")
if(dovrel_allowed_sites STREQUAL "")
  message(WARNING "DOVREL_ALLOWED_SITES is empty: the control will refuse the pages of every site. "
    "Set it to the bank's sites, e.g. -DDOVREL_ALLOWED_SITES=\"bank.example;*.bank.example\" "
    "(\"*\" alone allows every site).")
elseif(dovrel_allowed_sites STREQUAL "*")
  message(WARNING "DOVREL_ALLOWED_SITES is \"*\": the control will run for pages of every site.")
endif()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/allowed_sites.h CONTENT
  "// Made by CMake from DOVREL_ALLOWED_SITES.\n#define DOVREL_ALLOWED_SITES_TEXT \"@dovrel_allowed_sites@\"\n")
