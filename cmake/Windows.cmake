# The Windows build (presets win32 and win64, cross-built with the toolchains in
# cmake/toolchains): GoogleTest compiled from Debian's sources with the same
# compiler, and every test program run under Wine in a prefix of this build
# tree's own.
#
#   tavrin_add_wine_gtest(<target> [DISPLAY])
#     runs the GoogleTest program <target> as one test, which passes only on
#     GoogleTest's closing line (tests/wine/wine_prefix.sh); with DISPLAY, on an
#     X display of its own, for a program that opens windows

# Windows programs name their libraries without the "lib" of a Unix one:
# lumbra.dll, which a client loads by that name.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "")

include(${CMAKE_CURRENT_LIST_DIR}/WindowsResources.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)

set(TAVRIN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian's googletest package)")
if(NOT EXISTS ${TAVRIN_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "no GoogleTest sources in ${TAVRIN_GOOGLETEST_SOURCE}: run scripts/deps.sh")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# GoogleTest's own Windows locking, not the winpthreads emulation under it.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${TAVRIN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# It names its targets GTest::gtest and GTest::gtest_main, as find_package(GTest) does.

# The loader matches the programs' bitness; a 64-bit prefix runs both.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(wine_loader wine64)
else()
  set(wine_loader wine)
endif()
set(TAVRIN_WINE /usr/lib/wine/${wine_loader} CACHE FILEPATH "Wine's loader for this build's programs")
set(TAVRIN_WINESERVER /usr/lib/wine/wineserver CACHE FILEPATH "Wine's server")
if(NOT EXISTS ${TAVRIN_WINE})
  # The tests are still added: they fail and say so, rather than pass unrun.
  message(WARNING "${TAVRIN_WINE} is missing: the tests cannot run (scripts/deps.sh installs Wine)")
endif()

set(TAVRIN_WINE_SCRIPT ${CMAKE_SOURCE_DIR}/tests/wine/wine_prefix.sh)
set(TAVRIN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine/prefix)
set(TAVRIN_WINE_ENV "WINE=${TAVRIN_WINE}" "WINESERVER=${TAVRIN_WINESERVER}")

# Made by the first test run of this build tree and kept for later ones.
add_test(NAME wine_prefix COMMAND bash ${TAVRIN_WINE_SCRIPT} boot ${TAVRIN_WINE_PREFIX})
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix ENVIRONMENT "${TAVRIN_WINE_ENV}"
                                            TIMEOUT 300)

function(tavrin_add_wine_gtest target)
  set(mode gtest)
  if("DISPLAY" IN_LIST ARGN)
    set(mode gtest-display)
  endif()
  add_test(NAME ${target} COMMAND bash ${TAVRIN_WINE_SCRIPT} ${mode} ${TAVRIN_WINE_PREFIX} $<TARGET_FILE:${target}>)
  # One test at a time in the prefix: the black-box run stops its server before
  # and after, which would end a program of another test.
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine_prefix ENVIRONMENT "${TAVRIN_WINE_ENV}"
                                            RESOURCE_LOCK wine_prefix)
endfunction()
