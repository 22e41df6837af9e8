# Run with cmake -P: packs the extension for Chrome and Edge (a zip) and for
# Firefox (an xpi, the same files). The content script runs on the pages of
# the sites the build allows, when SITES names them; otherwise on the source's
# test pages. The manifest's version must be the product's.
#   -DSOURCE=<extension/> -DSTAGE=<dir> -DZIP=<file> -DXPI=<file> -DVERSION=<x.y.z.w> [-DSITES=<list>]
foreach(required SOURCE STAGE ZIP XPI VERSION)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "ExtensionPackage.cmake: ${required} is not set")
  endif()
endforeach()

file(READ ${SOURCE}/manifest.json manifest)
string(JSON version GET "${manifest}" version)
if(NOT version STREQUAL VERSION)
  message(FATAL_ERROR "extension/manifest.json has version ${version}, the product ${VERSION}")
endif()

# A site list entry as a match pattern: "bank.example" and "*.bank.example"
# over https, "http://host" over http, "*" every https site. Entries are
# separated by ';', ',' or blanks. The native host
# still checks each page against the list itself.
if(DEFINED SITES AND NOT SITES STREQUAL "")
  string(REGEX REPLACE "[;, \t]+" ";" entries "${SITES}")
  set(patterns "")
  foreach(entry IN LISTS entries)
    if(entry STREQUAL "")
      continue()
    endif()
    string(TOLOWER "${entry}" entry)
    set(scheme https)
    if(entry MATCHES "^(https?)://(.*)$")
      set(scheme ${CMAKE_MATCH_1})
      set(entry "${CMAKE_MATCH_2}")
    endif()
    if(NOT entry MATCHES "^(\\*|(\\*\\.)?[a-z0-9_]([a-z0-9_.-]*[a-z0-9_])?)$")
      message(FATAL_ERROR "site list entry \"${entry}\" is not a host name")
    endif()
    string(APPEND patterns ",\"${scheme}://${entry}/*\"")
  endforeach()
  if(patterns STREQUAL "")
    message(FATAL_ERROR "the site list names no site")
  endif()
  string(SUBSTRING "${patterns}" 1 -1 patterns)
  string(JSON manifest SET "${manifest}" content_scripts 0 matches "[${patterns}]")
endif()

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(WRITE ${STAGE}/manifest.json "${manifest}\n")
file(COPY ${SOURCE}/background.js ${SOURCE}/content.js DESTINATION ${STAGE})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip manifest.json background.js content.js
  WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE packed)
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "packing the extension failed")
endif()
file(COPY_FILE ${ZIP} ${XPI})
