# dovrel_add_test_program(<name> SOURCES <files...> LIBS <targets...> [SERVERS])
# Natively each GoogleTest case is its own CTest test; under Wine one program is
# one CTest test, since every start of a Windows program costs a Wine start-up.
# SERVERS: under Wine the program needs the native reference servers that the
# test run starts (see tools/test-servers).
function(dovrel_add_test_program name)
  cmake_parse_arguments(arg "SERVERS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  dovrel_target(${name})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT 600)
    if(arg_SERVERS)
      set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED test_servers
        ENVIRONMENT "DOVREL_TEST_SERVERS=Z:${DOVREL_TEST_SERVERS_DIR}")
    endif()
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native TIMEOUT 300)
  endif()
endfunction()

# Under Wine, the native reference servers for the Windows tests: started
# before the first test that needs them and stopped after the last. A Windows
# build configured without DOVREL_NATIVE_SERVER runs no tests.
function(dovrel_add_test_servers)
  if(NOT CMAKE_CROSSCOMPILING OR NOT DOVREL_NATIVE_SERVER)
    return()
  endif()
  add_test(NAME test_servers_start
    COMMAND ${PROJECT_SOURCE_DIR}/tools/test-servers start ${DOVREL_TEST_SERVERS_DIR} ${DOVREL_NATIVE_SERVER})
  add_test(NAME test_servers_stop
    COMMAND ${PROJECT_SOURCE_DIR}/tools/test-servers stop ${DOVREL_TEST_SERVERS_DIR})
  set_tests_properties(test_servers_start PROPERTIES FIXTURES_SETUP test_servers LABELS wine)
  set_tests_properties(test_servers_stop PROPERTIES FIXTURES_CLEANUP test_servers LABELS wine)
endfunction()
set(DOVREL_TEST_SERVERS_DIR ${CMAKE_BINARY_DIR}/test-servers)

# dovrel_add_receiver_script_test(<name> <script> <native-timeout> <wine-timeout>)
# A shell script that runs the receiver against the reference server: natively
# as <name>, or under Wine as <name>_wine with the native server.
function(dovrel_add_receiver_script_test name script nativeTimeout wineTimeout)
  set(root ${PROJECT_SOURCE_DIR}/tests/fixtures/root)
  if(CMAKE_CROSSCOMPILING AND DOVREL_NATIVE_SERVER)
    add_test(NAME ${name}_wine
      COMMAND bash ${script} --server ${DOVREL_NATIVE_SERVER} --root ${root} --wine
              -- ${PROJECT_SOURCE_DIR}/tools/wine-run $<TARGET_FILE:dovrel>)
    set_tests_properties(${name}_wine PROPERTIES LABELS wine TIMEOUT ${wineTimeout})
  elseif(NOT CMAKE_CROSSCOMPILING)
    add_test(NAME ${name}
      COMMAND bash ${script} --server $<TARGET_FILE:dovrel-fileserver> --root ${root} -- $<TARGET_FILE:dovrel>)
    set_tests_properties(${name} PROPERTIES LABELS native TIMEOUT ${nativeTimeout})
  endif()
endfunction()
