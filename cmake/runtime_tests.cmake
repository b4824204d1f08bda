# SPDX-License-Identifier: Zlib
# The runtime's own tests and the example lister, for a runtime-only build
# (native, or for a cross target whose programs CTest runs through the
# toolchain's emulator). They read the archives scripts/runtime-fixtures
# made with the Linux tool, in TOV_FIXTURES. GoogleTest comes from Debian's
# sources when it is not installed for the target (its project names the
# same targets).
set(TOV_FIXTURES "" CACHE PATH "Folder of scripts/runtime-fixtures' archives")
enable_testing()
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Its warnings are not ours to fix (g++ 12 finds false overlaps in it).
  target_compile_options(gtest PRIVATE -w)
  target_compile_options(gtest_main PRIVATE -w)
endif()
add_executable(runtime_test ${PROJECT_SOURCE_DIR}/tests/runtime/runtime_test.cpp)
target_link_libraries(runtime_test PRIVATE tov_archive GTest::gtest_main)
target_include_directories(runtime_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
# g++ 12 reports false -Wrestrict overlaps inside std::string's operator+.
target_compile_options(runtime_test PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
add_test(NAME runtime_test COMMAND runtime_test)
set_tests_properties(runtime_test PROPERTIES ENVIRONMENT "TOV_FIXTURES=${TOV_FIXTURES}")
add_executable(list_archive ${PROJECT_SOURCE_DIR}/examples/list_archive.c)
target_link_libraries(list_archive PRIVATE tov_archive)
