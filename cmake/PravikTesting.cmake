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

# pravik_add_test(NAME SOURCES... [LIBS ...] [LABELS ...] [ENVIRONMENT VAR=VALUE])
# One test program; natively each of its cases is its own ctest test, under Wine the
# program is one test (discovery would have to start Wine at build time).
function(pravik_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  pravik_find_gtest()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} pravik_test_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS "windows;${T_LABELS}"
                                            TIMEOUT 600)
    if(T_ENVIRONMENT)
      set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${T_ENVIRONMENT})
    endif()
  else()
    include(GoogleTest)
    # One label: discovery writes a list value out unquoted, which would split it.
    gtest_discover_tests(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 120 ENVIRONMENT "${T_ENVIRONMENT}"
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

# Windows programs with windows need an X display under Wine, and every process of their
# Wine session must have it: the session's desktop process, started by whichever program
# comes first, keeps the display it found (or none) for all. Tests with windows therefore
# run in a session of their own, in the prefix desktop/wineprefix, on an Xvfb server of
# this build folder's own. Its display number is drawn from the folder's path, so that
# build folders testing at the same time each have theirs; tests receive it in DISPLAY.
set(PRAVIK_DISPLAY_NUMBER "" CACHE STRING
    "X display number of the Xvfb server of the tests with windows (empty: drawn from the build folder)")

function(pravik_display_number out)
  if(PRAVIK_DISPLAY_NUMBER)
    set(${out} ${PRAVIK_DISPLAY_NUMBER} PARENT_SCOPE)
  else()
    string(MD5 digest "${CMAKE_BINARY_DIR}")
    string(SUBSTRING "${digest}" 0 6 head)
    math(EXPR number "0x${head} % 800 + 100")
    set(${out} ${number} PARENT_SCOPE)
  endif()
endfunction()

# The fixture "display" (the Xvfb server) and, for the Windows build, "wine-desktop" (the
# session's prefix, made anew once per test run). Defined once, by whichever directory asks
# first; only where the tests run on Unix.
function(pravik_add_display_fixture)
  get_property(defined GLOBAL PROPERTY PRAVIK_DISPLAY_FIXTURE)
  if(defined OR NOT CMAKE_HOST_UNIX)
    return()
  endif()
  set_property(GLOBAL PROPERTY PRAVIK_DISPLAY_FIXTURE ON)
  pravik_display_number(number)
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/xvfb.sh)
  set(folder ${CMAKE_BINARY_DIR}/desktop)
  add_test(NAME display-start COMMAND ${script} start ${number} ${folder})
  set_tests_properties(display-start PROPERTIES FIXTURES_SETUP display TIMEOUT 60)
  add_test(NAME display-stop COMMAND ${script} stop ${number} ${folder})
  set_tests_properties(display-stop PROPERTIES FIXTURES_CLEANUP display TIMEOUT 60)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME wine-desktop-prefix
             COMMAND ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine-desktop.sh ${folder}/wineprefix)
    set_tests_properties(wine-desktop-prefix PROPERTIES FIXTURES_SETUP wine-desktop TIMEOUT 300)
    add_test(NAME wine-desktop-stop
             COMMAND sh -c "WINEPREFIX=${folder}/wineprefix wineserver -k || true")
    set_tests_properties(wine-desktop-stop PROPERTIES FIXTURES_CLEANUP wine-desktop)
    # Wine first, while its display is still there to say goodbye to.
    set_tests_properties(display-stop PROPERTIES DEPENDS wine-desktop-stop)
  endif()
endfunction()

# pravik_use_display(TEST...): the tests run on the display, under Wine in the session of
# the programs with windows. They run one at a time (lock "pravik-desktop"): on one desktop
# they would see each other's windows, message boxes and named objects.
# On Windows itself they just run on the desktop they are given.
function(pravik_use_display)
  set_property(TEST ${ARGN} APPEND PROPERTY RESOURCE_LOCK pravik-desktop)
  if(NOT CMAKE_CROSSCOMPILING)
    return()
  endif()
  pravik_add_display_fixture()
  pravik_display_number(number)
  foreach(test IN LISTS ARGN)
    get_test_property(${test} FIXTURES_REQUIRED fixtures)
    if(NOT fixtures)
      set(fixtures "")
    endif()
    list(REMOVE_ITEM fixtures wine)
    list(APPEND fixtures display wine-desktop)
    set_property(TEST ${test} PROPERTY FIXTURES_REQUIRED ${fixtures})
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
                 DISPLAY=:${number} WINEPREFIX=${CMAKE_BINARY_DIR}/desktop/wineprefix)
  endforeach()
endfunction()
