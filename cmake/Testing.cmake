# dovrel_add_test_program(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# Natively each GoogleTest case is its own CTest test; under Wine one program is
# one CTest test, since every start of a Windows program costs a Wine start-up.
function(dovrel_add_test_program name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  dovrel_target(${name})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "wine;${arg_LABELS}" TIMEOUT 600)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS "native;${arg_LABELS}" TIMEOUT 300)
  endif()
endfunction()
