# Shared build settings and the helpers that register tests in both build trees.

option(LINKMOOR_SANITIZE "Build the host tree with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(LINKMOOR_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest package)")
set(LINKMOOR_WINE_ROOT ${CMAKE_BINARY_DIR}/wine CACHE PATH "Folder holding the test Wine prefixes")

# The native linkmoor-pack of a host tree, if built: the Windows tree then also checks the
# launcher's bytes with it, which needs no Wine.
set(LINKMOOR_HOST_PACK "" CACHE FILEPATH "linkmoor-pack of the host tree, for the Wine-free launcher checks")

# The Wine prefixes this tree's programs run in. A 32-bit program runs in both: a 32-bit Windows
# (x86) and a 32-bit process on 64-bit Windows (amd64). A 64-bit program runs only on 64-bit
# Windows, started through Wine's 64-bit loader.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LINKMOOR_WINE_PREFIXES win64)
  set(LINKMOOR_WINE_BITS 64)
else()
  set(LINKMOOR_WINE_PREFIXES win32 win64)
  set(LINKMOOR_WINE_BITS 32)
endif()

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

# linkmoor_wine_prefixes(OUT [PREFIX...])
# Of the named prefixes (all of this tree's when none is named), the ones this tree's programs
# run in: in the 64-bit tree a test named for the 32-bit prefix runs in the 64-bit one instead.
function(linkmoor_wine_prefixes out)
  set(prefixes ${ARGN})
  if(NOT prefixes OR LINKMOOR_WINE_BITS EQUAL 64)
    set(prefixes ${LINKMOOR_WINE_PREFIXES})
  endif()
  set(${out} ${prefixes} PARENT_SCOPE)
endfunction()

# linkmoor_add_wine_test(NAME SOURCES ... LIBS ... [PREFIXES win32 win64] [LOCKS ...] [ARGS ...]
#                        [ENVIRONMENT ...] [TARGET existing-exe])
# A GoogleTest program cross-compiled for Windows and run under Wine, once per named prefix
# (default all of this tree's). A test that changes state of a whole prefix names it in LOCKS.
function(linkmoor_add_wine_test name)
  cmake_parse_arguments(T "" "TARGET" "SOURCES;LIBS;PREFIXES;LOCKS;ARGS;ENVIRONMENT" ${ARGN})
  linkmoor_wine_prefixes(T_PREFIXES ${T_PREFIXES})
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

# Makes an already registered test run in the named Wine prefix. Every such test carries the
# label "wine", so that a machine that cannot run this tree's programs can leave them out and
# count them.
function(linkmoor_wine_test_properties test prefix)
  cmake_parse_arguments(T "" "" "LOCKS;ENVIRONMENT" ${ARGN})
  set_tests_properties(${test} PROPERTIES
    ENVIRONMENT "LINKMOOR_WINE_ROOT=${LINKMOOR_WINE_ROOT};LINKMOOR_WINE_ARCH=${prefix};LINKMOOR_WINE_BITS=${LINKMOOR_WINE_BITS};${T_ENVIRONMENT}"
    FIXTURES_REQUIRED wine_${prefix}
    LABELS wine
    TIMEOUT 300)
  if(T_LOCKS)
    # Locks are per prefix: the two prefixes share no state.
    list(TRANSFORM T_LOCKS APPEND ".${prefix}")
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
  endif()
endfunction()
