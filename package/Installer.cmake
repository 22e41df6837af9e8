# The control's Windows Installer packages, made with wixl into
# ${CMAKE_BINARY_DIR}/package/: Dovrel.msi (win32 build: the 32-bit module) and
# Dovrel-x64.msi (win64 build: the 32-bit module from the win32 build tree and
# the 64-bit one, each in its own registry view). Their registry rows are
# generated from control/dovrel.rgs and control/dovrel.idl by the host tool
# installer-registry (installer_registry_main.cpp beside this file), so they
# write what DllRegisterServer writes.
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
find_program(DOVREL_HOST_CXX NAMES c++ g++ clang++)
if(NOT DOVREL_WIXL OR NOT DOVREL_MSIBUILD OR NOT DOVREL_HOST_CXX)
  message(FATAL_ERROR "The installer needs wixl and msibuild (msitools) and a C++ compiler for "
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

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(DOVREL_WIN32_MODULE ${PROJECT_SOURCE_DIR}/build/win32/package/Dovrel.dll CACHE FILEPATH
    "The 32-bit (signed) Dovrel.dll that Dovrel-x64.msi carries")
  set(arch x64)
  set(msi_name Dovrel-x64.msi)
  set(views 32 64)
  add_custom_target(dovrel_installer_win32_module
    COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
    COMMAND ${CMAKE_COMMAND} -DDOVREL_COPY_MODULE=${DOVREL_WIN32_MODULE}
            -DDOVREL_COPY_TO=${work}/Dovrel32.dll -P ${CMAKE_CURRENT_LIST_FILE}
    BYPRODUCTS ${work}/Dovrel32.dll
    COMMENT "The 32-bit module for ${msi_name}"
    VERBATIM)
  set(packaged_bits 64)
else()
  set(arch x86)
  set(msi_name Dovrel.msi)
  set(views 32)
  set(packaged_bits 32)
endif()
# The modules' folders as dovrel.wxs makes them; the type library's HELPDIR names them.
set(folder_32 [ProgramFilesFolder]Dovrel)
set(folder_64 [ProgramFiles64Folder]Dovrel)

set(rows ${work}/RemoveRegistry.idt)
set(view_args)
set(modules)
set(wixl_defines)
# The permanent components' attributes: a registry key path (4), permanent (16), 64-bit (256).
set(kept_attributes_32 20)
set(kept_attributes_64 276)
set(permanent)
foreach(bits IN LISTS views)
  list(APPEND rows ${work}/registry-${bits}.wxi ${work}/kept-${bits}.wxi)
  list(APPEND view_args ${bits}=${folder_${bits}})
  list(APPEND modules ${work}/Dovrel${bits}.dll)
  list(APPEND wixl_defines -D Module${bits}=Dovrel${bits}.dll)
  list(APPEND permanent COMMAND ${DOVREL_MSIBUILD} ${msi_name}
    -q "UPDATE Component SET Attributes = ${kept_attributes_${bits}} WHERE Component = 'KeptKeys${bits}'")
endforeach()

add_custom_command(OUTPUT ${rows}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
  COMMAND ${tool} ${PROJECT_SOURCE_DIR}/control/dovrel.rgs ${PROJECT_SOURCE_DIR}/control/dovrel.idl
          ${work} ${view_args}
  DEPENDS ${tool} ${PROJECT_SOURCE_DIR}/control/dovrel.rgs ${PROJECT_SOURCE_DIR}/control/dovrel.idl
  COMMENT "Installer registry rows from dovrel.rgs and dovrel.idl"
  VERBATIM)

add_custom_command(OUTPUT ${work}/Dovrel${packaged_bits}.dll
  COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
  COMMAND ${CMAKE_COMMAND} -E copy ${DOVREL_PACKAGED_MODULE} ${work}/Dovrel${packaged_bits}.dll
  DEPENDS ${DOVREL_PACKAGED_MODULE} Dovrel
  VERBATIM)

# wixl, then what wixl cannot say (the RemoveRegistry table, permanent
# components); the finished package is signed into package/.
add_custom_command(OUTPUT ${work}/${msi_name}
  COMMAND ${DOVREL_WIXL} -a ${arch} -D Arch=${arch} -D Version=${DOVREL_VERSION} ${wixl_defines}
          -I ${work} -o ${msi_name} ${CMAKE_CURRENT_LIST_DIR}/dovrel.wxs
  COMMAND ${DOVREL_MSIBUILD} ${msi_name} -i RemoveRegistry.idt
  ${permanent}
  WORKING_DIRECTORY ${work}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/dovrel.wxs ${rows} ${modules}
  COMMENT "Windows Installer package ${msi_name}"
  VERBATIM)
dovrel_sign(${package_dir}/${msi_name} ${work}/${msi_name})
add_custom_target(dovrel_installer ALL DEPENDS ${package_dir}/${msi_name})
