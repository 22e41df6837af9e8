# The browser path's packages, in the build tree's package/: the extension for
# Chrome and Edge (dovrel-extension.zip) and for Firefox (dovrel-extension.xpi),
# its pages those of DOVREL_ALLOWED_SITES where the build names them; and,
# where the build has the native host, its Debian package with the manifests
# the host's build writes (allowing the ids of DOVREL_EXTENSION_IDS).
set(browser_package_dir ${CMAKE_BINARY_DIR}/package)
set(extension_sources
  ${PROJECT_SOURCE_DIR}/extension/manifest.json
  ${PROJECT_SOURCE_DIR}/extension/background.js
  ${PROJECT_SOURCE_DIR}/extension/content.js)
# A ';' would split the command's argument: the lists travel ','-separated.
string(REPLACE ";" "," browser_sites "${DOVREL_ALLOWED_SITES}")

add_custom_command(
  OUTPUT ${browser_package_dir}/dovrel-extension.zip ${browser_package_dir}/dovrel-extension.xpi
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/extension
          -DSTAGE=${CMAKE_BINARY_DIR}/package-build/extension
          -DZIP=${browser_package_dir}/dovrel-extension.zip -DXPI=${browser_package_dir}/dovrel-extension.xpi
          -DVERSION=${PROJECT_VERSION} "-DSITES=${browser_sites}"
          -P ${CMAKE_CURRENT_LIST_DIR}/ExtensionPackage.cmake
  DEPENDS ${extension_sources} ${CMAKE_CURRENT_LIST_DIR}/ExtensionPackage.cmake
  COMMENT "Packing the browser extension")
add_custom_target(browser_extension_package ALL
  DEPENDS ${browser_package_dir}/dovrel-extension.zip ${browser_package_dir}/dovrel-extension.xpi)

if(TARGET dovrel-host)
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_architecture OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(DOVREL_HOST_DEB ${browser_package_dir}/dovrel-host_${PROJECT_VERSION}_${deb_architecture}.deb)
  set(manifests ${CMAKE_BINARY_DIR}/host/manifests/linux)
  add_custom_command(
    OUTPUT ${DOVREL_HOST_DEB}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/build-deb.sh $<TARGET_FILE:dovrel-host> ${PROJECT_VERSION}
            ${manifests}/chrome/kr.dovrel.receiver.json ${manifests}/firefox/kr.dovrel.receiver.json
            ${DOVREL_HOST_DEB}
    DEPENDS dovrel-host ${CMAKE_CURRENT_LIST_DIR}/build-deb.sh
            ${manifests}/chrome/kr.dovrel.receiver.json ${manifests}/firefox/kr.dovrel.receiver.json
    COMMENT "Building the host's Debian package")
  add_custom_target(dovrel_host_deb ALL DEPENDS ${DOVREL_HOST_DEB})
endif()
