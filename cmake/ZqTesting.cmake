# zq_tests(NAME dir LIBS ...): the tests of one folder. Files ending in _test.cpp make the unit
# executable <name>_tests; files ending in _realaudio_test.cpp make <name>_realaudio_tests, whose
# tests need the PulseAudio null sink and carry the CTest label "realaudio".
function(zq_tests name)
  cmake_parse_arguments(A "" "" "LIBS" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB real CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_realaudio_test.cpp)
  set(unit ${all})
  if(real)
    list(REMOVE_ITEM unit ${real})
  endif()
  # Tests find the trees through ZQ_SOURCE_DIR and ZQ_BINARY_DIR, compiled in.
  set(dirs ZQ_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ZQ_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(unit)
    add_executable(${name}_tests ${unit})
    target_link_libraries(${name}_tests PRIVATE ${A_LIBS} zq_testsupport GTest::gmock_main)
    set_target_properties(${name}_tests PROPERTIES AUTOMOC ON)
    target_compile_definitions(${name}_tests PRIVATE ${dirs})
    gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS unit TIMEOUT 300 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
  if(real)
    add_executable(${name}_realaudio_tests ${real})
    target_link_libraries(${name}_realaudio_tests PRIVATE ${A_LIBS} zq_testsupport GTest::gmock_main)
    set_target_properties(${name}_realaudio_tests PROPERTIES AUTOMOC ON)
    target_compile_definitions(${name}_realaudio_tests PRIVATE ${dirs})
    gtest_discover_tests(${name}_realaudio_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS realaudio RUN_SERIAL ON TIMEOUT 600
                         ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
endfunction()
