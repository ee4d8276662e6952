# Shared build settings and the helpers that register tests in both build trees.

option(LINKMOOR_SANITIZE "Build the host tree with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(LINKMOOR_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest package)")
set(LINKMOOR_WINE_ROOT ${CMAKE_BINARY_DIR}/wine CACHE PATH "Folder holding the test Wine prefixes")

add_compile_options(-Wall -Wextra)
if(WIN32)
  # Windows headers: ANSI calls throughout, no min/max macros.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Reproducible executables: ld writes the link time into the PE header unless told not to.
  add_link_options(-Wl,--no-insert-timestamp)
elseif(LINKMOOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(ZLIB REQUIRED)

# GoogleTest from the distribution's sources, built by us for whichever compiler this tree uses.
function(linkmoor_enable_googletest)
  if(TARGET gtest)
    return()
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${LINKMOOR_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()

# linkmoor_add_unit_test(NAME SOURCES ... LIBS ...)
# A native GoogleTest program of the portable core (host tree only).
function(linkmoor_add_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ARGS" ${ARGN})
  linkmoor_enable_googletest()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
endfunction()

# linkmoor_add_wine_test(NAME SOURCES ... LIBS ... [PREFIXES win32 win64] [LOCKS ...] [ARGS ...]
#                        [ENVIRONMENT ...] [TARGET existing-exe])
# A GoogleTest program cross-compiled for Windows and run under Wine, once per named prefix
# (default both). A test that changes state of a whole prefix names it in LOCKS.
function(linkmoor_add_wine_test name)
  cmake_parse_arguments(T "" "TARGET" "SOURCES;LIBS;PREFIXES;LOCKS;ARGS;ENVIRONMENT" ${ARGN})
  if(NOT T_PREFIXES)
    set(T_PREFIXES win32 win64)
  endif()
  if(T_TARGET)
    set(exe ${T_TARGET})
  else()
    linkmoor_enable_googletest()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
    set(exe ${name})
  endif()
  foreach(prefix IN LISTS T_PREFIXES)
    set(test ${name}.${prefix})
    add_test(NAME ${test} COMMAND ${exe} ${T_ARGS})
    linkmoor_wine_test_properties(${test} ${prefix} LOCKS ${T_LOCKS} ENVIRONMENT ${T_ENVIRONMENT})
  endforeach()
endfunction()

# Makes an already registered test run in the named Wine prefix.
function(linkmoor_wine_test_properties test prefix)
  cmake_parse_arguments(T "" "" "LOCKS;ENVIRONMENT" ${ARGN})
  set_tests_properties(${test} PROPERTIES
    ENVIRONMENT "LINKMOOR_WINE_ROOT=${LINKMOOR_WINE_ROOT};LINKMOOR_WINE_ARCH=${prefix};${T_ENVIRONMENT}"
    FIXTURES_REQUIRED wine_${prefix}
    TIMEOUT 300)
  if(T_LOCKS)
    # Locks are per prefix: the two prefixes share no state.
    list(TRANSFORM T_LOCKS APPEND ".${prefix}")
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
  endif()
endfunction()
