# morvex_add_test(<name> SOURCES <files...> LIBS <targets...>)
# Builds one GoogleTest program from a folder's tests/ and registers its cases with CTest.
if(MORVEX_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
# Where tools/install-deps.sh puts the tests' tools that are no Debian package (the T-SQL
# parser); a test whose tool is missing fails.
set(MORVEX_TEST_TOOLS_DIR "/opt/morvex-test-tools" CACHE PATH
    "Folder of the tests' own tools, as installed by tools/install-deps.sh")

function(morvex_add_test name)
  if(NOT MORVEX_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  # Tests find the project's files (examples, benchmark descriptions) from here, also when the
  # test program is run by hand rather than by ctest.
  target_compile_definitions(${name} PRIVATE MORVEX_SOURCE_DIR_PATH="${PROJECT_SOURCE_DIR}"
                             MORVEX_TEST_TOOLS_DIR="${MORVEX_TEST_TOOLS_DIR}")
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                       PROPERTIES ENVIRONMENT "MORVEX_SOURCE_DIR=${PROJECT_SOURCE_DIR};MORVEX_BINARY_DIR=${PROJECT_BINARY_DIR}"
                       DISCOVERY_TIMEOUT 60)
endfunction()

# morvex_add_qt_test(<name> SOURCES <files...> LIBS <targets...>)
# Builds one Qt Test program (QTEST_MAIN in its source) for the window folders; it runs with the
# offscreen platform so that CI needs no display.
function(morvex_add_qt_test name)
  if(NOT MORVEX_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test Qt6::Widgets)
  target_compile_definitions(${name} PRIVATE MORVEX_SOURCE_DIR_PATH="${PROJECT_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
      "QT_QPA_PLATFORM=offscreen;MORVEX_SOURCE_DIR=${PROJECT_SOURCE_DIR};MORVEX_BINARY_DIR=${PROJECT_BINARY_DIR}"
      TIMEOUT 300)
endfunction()
