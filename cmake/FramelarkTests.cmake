# framelark_add_test(NAME SOURCES ... [WINDOWS] [SCREEN] [LIBS ...] [LABELS ...] [ENVIRONMENT change])
# WINDOWS tests need the Win32 code and run only in the windows preset (under Wine when
# cross-compiling); the others are portable and run in both presets. SCREEN tests read the screen
# or move the pointer, so they run one at a time.
include(GoogleTest)

if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  if(EXISTS /usr/src/googletest/CMakeLists.txt)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

function(framelark_add_test name)
  cmake_parse_arguments(T "WINDOWS;SCREEN" "ENVIRONMENT;FIXTURES" "SOURCES;LIBS;LABELS" ${ARGN})
  if(T_WINDOWS AND NOT WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest_main framelark_core ${T_LIBS})
  if(T_WINDOWS)
    target_link_libraries(${name} PRIVATE framelark_win)
  endif()
  set(labels ${T_LABELS})
  if(WIN32)
    list(APPEND labels windows)
  else()
    list(APPEND labels host)
  endif()
  set(extra)
  if(T_SCREEN)
    set(extra RESOURCE_LOCK framelark_screen)
  endif()
  if(T_ENVIRONMENT)
    list(APPEND extra ENVIRONMENT_MODIFICATION "${T_ENVIRONMENT}")
  endif()
  if(T_FIXTURES)
    list(APPEND extra FIXTURES_REQUIRED ${T_FIXTURES})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    TEST_PREFIX "${CMAKE_SYSTEM_NAME}."
    PROPERTIES LABELS "${labels}" TIMEOUT 300 ${extra})
endfunction()
