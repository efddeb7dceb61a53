# Helpers shared by every folder's CMakeLists.txt: one static library per folder, one test
# executable per library, and the same strict warnings on all of our own code.

# Warnings fail the build only where TGA2AVI_WERROR asks (the test and fuzz scripts, CI), so that
# a newer compiler's new warning never stops a package build.
function(tga2avi_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${TGA2AVI_WERROR}>:-Werror>)
endfunction()

# tga2avi_library(NAME [DEPENDS lib...])
# Builds every *.cpp of the calling folder, except tests and the toolkit backends (*_wx.cpp, and
# *_gio.cpp for the desktop's bus), into the static library NAME. Includes name their folder:
# #include "sequence/sequence_name.h".
function(tga2avi_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "(_test|_wx|_gio)\\.cpp$")
  if(NOT sources)
    # A level whose code is still all in headers.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  tga2avi_warnings(${name})
endfunction()

# tga2avi_tests(LIBRARY [DEPENDS lib...])
# Builds the folder's *_test.cpp files into LIBRARY_test and registers every test with CTest.
function(tga2avi_tests library)
  if(NOT TGA2AVI_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT tests)
    return()
  endif()
  add_executable(${library}_test ${tests})
  target_link_libraries(${library}_test PRIVATE ${library} ${ARG_DEPENDS} test_support
                        GTest::gmock GTest::gtest_main)
  tga2avi_warnings(${library}_test)
  gtest_discover_tests(${library}_test DISCOVERY_TIMEOUT 120
                       PROPERTIES LABELS "${library}" TIMEOUT 600)
endfunction()
