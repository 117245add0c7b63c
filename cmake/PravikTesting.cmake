# GoogleTest for both builds: Debian's package natively, the same package's sources
# built with the cross compiler for Windows, whose tests then run under Wine.

if(CMAKE_CROSSCOMPILING)
  set(PRAVIK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(PRAVIK_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

function(pravik_find_gtest)
  if(TARGET GTest::gtest_main)
    return()
  endif()
  if(CMAKE_CROSSCOMPILING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    if(NOT TARGET GTest::gmock)
      add_library(GTest::gmock ALIAS gmock)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endfunction()

# pravik_add_test(NAME SOURCES... [LIBS ...] [LABELS ...])
# One test program; natively each of its cases is its own ctest test, under Wine the
# program is one test (discovery would have to start Wine at build time).
function(pravik_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  pravik_find_gtest()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS "windows;${T_LABELS}"
                                            TIMEOUT 600)
  else()
    include(GoogleTest)
    # One label: discovery writes a list value out unquoted, which would split it.
    gtest_discover_tests(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 120
                         DISCOVERY_TIMEOUT 30)
  endif()
endfunction()

function(pravik_add_wine_fixture)
  if(CMAKE_CROSSCOMPILING AND NOT TEST wine-prefix)
    add_test(NAME wine-prefix COMMAND ${PRAVIK_CMAKE_DIR}/wine-prefix.sh ${PRAVIK_WINEPREFIX} fresh)
    set_tests_properties(wine-prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
    add_test(NAME wine-stop COMMAND sh -c "WINEPREFIX=${PRAVIK_WINEPREFIX} wineserver -k || true")
    set_tests_properties(wine-stop PROPERTIES FIXTURES_CLEANUP wine)
  endif()
endfunction()
