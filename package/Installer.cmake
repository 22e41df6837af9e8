# The control's Windows Installer packages, made with wixl into
# ${CMAKE_BINARY_DIR}/package/: Dovrel.msi (win32 build: the 32-bit module),
# Dovrel-user.msi (win32 build: the same module and rows, per user, into the
# user's profile) and Dovrel-x64.msi (win64 build: the 32-bit module from the
# win32 build tree and the 64-bit one, each in its own registry view). Their
# registry rows are generated from control/dovrel.rgs and control/dovrel.idl by
# the host tool installer-registry (installer_registry_main.cpp beside this
# file), so they write what DllRegisterServer writes.
#
# DOVREL_PACKAGED_MODULE: the module the package carries (the build's own by
# default; set it before the include to carry another). DOVREL_WIN32_MODULE
# (cache, win64 only): the 32-bit module that Dovrel-x64.msi carries.
#
# In script mode (-P) it copies DOVREL_COPY_MODULE to DOVREL_COPY_TO, or stops
# with an error that says how to get the module.
if(CMAKE_SCRIPT_MODE_FILE)
  if(NOT EXISTS "${DOVREL_COPY_MODULE}")
    message(FATAL_ERROR "Dovrel-x64.msi needs the 32-bit module ${DOVREL_COPY_MODULE}, which is "
      "missing: build the win32 preset first (cmake --build --preset win32) or set "
      "DOVREL_WIN32_MODULE to a 32-bit Dovrel.dll")
  endif()
  file(COPY_FILE "${DOVREL_COPY_MODULE}" "${DOVREL_COPY_TO}" ONLY_IF_DIFFERENT)
  return()
endif()

find_program(DOVREL_WIXL wixl)
find_program(DOVREL_MSIBUILD msibuild)
find_program(DOVREL_MSIINFO msiinfo)
find_program(DOVREL_HOST_CXX NAMES c++ g++ clang++)
if(NOT DOVREL_WIXL OR NOT DOVREL_MSIBUILD OR NOT DOVREL_MSIINFO OR NOT DOVREL_HOST_CXX)
  message(FATAL_ERROR "The installer needs wixl, msibuild and msiinfo (msitools) and a C++ compiler for "
    "the build machine (c++)")
endif()

if(NOT DEFINED DOVREL_PACKAGED_MODULE)
  set(DOVREL_PACKAGED_MODULE $<TARGET_FILE:Dovrel>)
endif()
include(${PROJECT_SOURCE_DIR}/cmake/Signing.cmake)
set(package_dir ${CMAKE_BINARY_DIR}/package)
set(work ${CMAKE_BINARY_DIR}/generated/installer)

# The row generator, compiled for the build machine with the project's parser.
set(tool ${CMAKE_BINARY_DIR}/host/installer-registry)
set(tool_sources
  ${CMAKE_CURRENT_LIST_DIR}/installer_registry_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/installer_registry.cpp
  ${PROJECT_SOURCE_DIR}/control/registration_script.cpp)
add_custom_command(OUTPUT ${tool}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${DOVREL_HOST_CXX} -std=c++17 -O1 -I${PROJECT_SOURCE_DIR} -o ${tool} ${tool_sources}
  DEPENDS ${tool_sources}
    ${CMAKE_CURRENT_LIST_DIR}/installer_registry.h
    ${PROJECT_SOURCE_DIR}/control/registration_script.h
  COMMENT "Host tool installer-registry"
  VERBATIM)

set(installer_dir ${CMAKE_CURRENT_LIST_DIR})

# dovrel_installer(<msi> <wxs> [PER_USER] ARCH <x86|x64> ROWS <folder> VIEWS <bits>=<folder>...)
# Builds package/<msi> from <wxs>, with the rows installer-registry writes into
# ROWS (a folder in ${work}) for each view: Dovrel<bits>.dll (in ${work}) installed into <folder>
# (formatted text) by component Module<bits>, the script's kept keys by
# KeptKeys<bits>; and component ReceiveFolder, the RECEIVEFOLDER value.
# PER_USER: the classes' rows go under HKCU\Software\Classes.
function(dovrel_installer msi wxs)
  cmake_parse_arguments(arg "PER_USER" "ARCH;ROWS" "VIEWS" ${ARGN})
  set(root)
  if(arg_PER_USER)
    set(root --per-user)
  endif()
  set(rows ${arg_ROWS}/RemoveRegistry.idt)
  set(modules ${host_files})
  set(defines -D Host=../dovrel-host.exe -D ChromeManifest=../kr.dovrel.receiver.json
    -D FirefoxManifest=../kr.dovrel.receiver.firefox.json)
  # What wixl cannot say: permanent components (a registry key path, 4;
  # permanent, 16; 64-bit, 256), ReceiveFolder (32-bit) only when the
  # property is given.
  set(kept_attributes_32 20)
  set(kept_attributes_64 276)
  set(after_wixl
    COMMAND ${DOVREL_MSIBUILD} ${work}/${msi} -i RemoveRegistry.idt
    COMMAND ${DOVREL_MSIBUILD} ${work}/${msi} -q "UPDATE Component SET Condition = 'RECEIVEFOLDER', Attributes = ${kept_attributes_32} WHERE Component = 'ReceiveFolder'")
  foreach(view IN LISTS arg_VIEWS)
    string(REGEX REPLACE "=.*" "" bits "${view}")
    list(APPEND rows ${arg_ROWS}/registry-${bits}.wxi ${arg_ROWS}/kept-${bits}.wxi)
    list(APPEND modules ${work}/Dovrel${bits}.dll)
    list(APPEND defines -D Module${bits}=../Dovrel${bits}.dll)
    list(APPEND after_wixl COMMAND ${DOVREL_MSIBUILD} ${work}/${msi}
      -q "UPDATE Component SET Attributes = ${kept_attributes_${bits}} WHERE Component = 'KeptKeys${bits}'")
  endforeach()

  add_custom_command(OUTPUT ${rows}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${arg_ROWS}
    COMMAND ${tool} ${root} ${PROJECT_SOURCE_DIR}/control/dovrel.rgs ${PROJECT_SOURCE_DIR}/control/dovrel.idl
            ${arg_ROWS} ${arg_VIEWS}
    DEPENDS ${tool} ${PROJECT_SOURCE_DIR}/control/dovrel.rgs ${PROJECT_SOURCE_DIR}/control/dovrel.idl
    COMMENT "Installer registry rows for ${msi} from dovrel.rgs and dovrel.idl"
    VERBATIM)

  # wixl, then the rest; the finished package is signed into package/.
  # RECEIVEFOLDER is made secure so that a per-machine install keeps it. wixl
  # runs in ROWS (a folder of ${work}): it finds includes in its working folder
  # before -I's, and takes files only by relative paths.
  add_custom_command(OUTPUT ${work}/${msi}
    COMMAND ${DOVREL_WIXL} -a ${arg_ARCH} -D Arch=${arg_ARCH} -D Version=${DOVREL_VERSION} ${defines}
            -I ${arg_ROWS} -o ${work}/${msi} ${installer_dir}/${wxs}
    ${after_wixl}
    COMMAND ${CMAKE_COMMAND} -DMSIINFO=${DOVREL_MSIINFO} -DMSIBUILD=${DOVREL_MSIBUILD}
            -DPACKAGE=${work}/${msi} -DPROPERTY=RECEIVEFOLDER -P ${installer_dir}/SecureProperty.cmake
    WORKING_DIRECTORY ${arg_ROWS}
    DEPENDS ${installer_dir}/${wxs} ${installer_dir}/browser-host.wxi
      ${installer_dir}/browser-host-keys.wxi ${installer_dir}/SecureProperty.cmake ${rows} ${modules}
    COMMENT "Windows Installer package ${msi}"
    VERBATIM)
  dovrel_sign(${package_dir}/${msi} ${work}/${msi})
endfunction()

# The build's browser host, signed, and its two manifests (host/ writes them).
set(manifests ${CMAKE_BINARY_DIR}/host/manifests/windows)
file(MAKE_DIRECTORY ${work})
set(host_files ${work}/dovrel-host.exe ${work}/kr.dovrel.receiver.json
  ${work}/kr.dovrel.receiver.firefox.json)
dovrel_sign(${work}/dovrel-host.exe $<TARGET_FILE:dovrel-host> DEPENDS dovrel-host)
add_custom_command(OUTPUT ${work}/kr.dovrel.receiver.json ${work}/kr.dovrel.receiver.firefox.json
  COMMAND ${CMAKE_COMMAND} -E copy ${manifests}/chrome/kr.dovrel.receiver.json
          ${work}/kr.dovrel.receiver.json
  COMMAND ${CMAKE_COMMAND} -E copy ${manifests}/firefox/kr.dovrel.receiver.json
          ${work}/kr.dovrel.receiver.firefox.json
  DEPENDS ${manifests}/chrome/kr.dovrel.receiver.json ${manifests}/firefox/kr.dovrel.receiver.json
  VERBATIM)

# The build's own module, as Dovrel32.dll or Dovrel64.dll.
math(EXPR packaged_bits "${CMAKE_SIZEOF_VOID_P} * 8")
add_custom_command(OUTPUT ${work}/Dovrel${packaged_bits}.dll
  COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
  COMMAND ${CMAKE_COMMAND} -E copy ${DOVREL_PACKAGED_MODULE} ${work}/Dovrel${packaged_bits}.dll
  DEPENDS ${DOVREL_PACKAGED_MODULE} Dovrel
  VERBATIM)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(DOVREL_WIN32_MODULE ${PROJECT_SOURCE_DIR}/build/win32/package/Dovrel.dll CACHE FILEPATH
    "The 32-bit (signed) Dovrel.dll that Dovrel-x64.msi carries")
  # The win32 build's per-user package, which the win64 build's installer tests install.
  set(DOVREL_WIN32_USER_PACKAGE ${PROJECT_SOURCE_DIR}/build/win32/package/Dovrel-user.msi CACHE
    FILEPATH "The win32 build's Dovrel-user.msi")
  add_custom_target(dovrel_installer_win32_module
    COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
    COMMAND ${CMAKE_COMMAND} -DDOVREL_COPY_MODULE=${DOVREL_WIN32_MODULE}
            -DDOVREL_COPY_TO=${work}/Dovrel32.dll -P ${CMAKE_CURRENT_LIST_FILE}
    BYPRODUCTS ${work}/Dovrel32.dll
    COMMENT "The 32-bit module for Dovrel-x64.msi"
    VERBATIM)
  # The modules' folders as dovrel.wxs makes them; the type library's HELPDIR names them.
  dovrel_installer(Dovrel-x64.msi dovrel.wxs ARCH x64 ROWS ${work}/machine
    VIEWS 32=[ProgramFilesFolder]Dovrel 64=[ProgramFiles64Folder]Dovrel)
  set(packages Dovrel-x64.msi)
else()
  dovrel_installer(Dovrel.msi dovrel.wxs ARCH x86 ROWS ${work}/machine
    VIEWS 32=[ProgramFilesFolder]Dovrel)
  # The same rows per user; dovrel-user.wxs installs the module into this folder.
  dovrel_installer(Dovrel-user.msi dovrel-user.wxs PER_USER ARCH x86 ROWS ${work}/user
    VIEWS 32=[LocalAppDataFolder]Dovrel)
  set(packages Dovrel.msi Dovrel-user.msi)
endif()
list(TRANSFORM packages PREPEND ${package_dir}/)
add_custom_target(dovrel_installer ALL DEPENDS ${packages})
