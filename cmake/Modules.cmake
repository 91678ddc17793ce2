# Helpers that keep per-folder CMake edits rare: sources and tests are globbed.

# installer_module(<name> DIRS <dir>... [EXCLUDE <file>...] [DEPS <target>...])
# A static library from the .cpp files directly inside each DIRS folder.
function(installer_module name)
  cmake_parse_arguments(M "" "" "DIRS;EXCLUDE;DEPS" ${ARGN})
  set(sources)
  foreach(dir ${M_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.c)
    foreach(ex ${M_EXCLUDE})
      list(FILTER found EXCLUDE REGEX "/${ex}$")
    endforeach()
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_compile_options(${name} PRIVATE ${INSTALLER_WARNINGS})
  else()
    add_library(${name} INTERFACE)
  endif()
  get_target_property(kind ${name} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${M_DEPS})
  else()
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${M_DEPS})
  endif()
endfunction()

# Adds every direct subfolder of <dir> that has a CMakeLists.txt.
function(installer_add_subdirs dir)
  file(GLOB children RELATIVE ${CMAKE_SOURCE_DIR}/${dir} CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*)
  foreach(child ${children})
    if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# installer_test(<folder> DEPS <target>...): one gtest executable test_<folder>
# from tests/<folder>/*Test.cpp (and helpers beside them).
function(installer_test folder)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  string(REPLACE "/" "_" tname ${folder})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${tname} ${sources})
  target_compile_options(test_${tname} PRIVATE ${INSTALLER_WARNINGS})
  target_include_directories(test_${tname} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(test_${tname} PRIVATE ${T_DEPS} test_support GTest::gtest GTest::gmock GTest::gtest_main)
  # DISABLED_ cases are child scenarios that other tests start themselves; they are
  # left out of ctest's list.
  gtest_discover_tests(test_${tname} DISCOVERY_TIMEOUT 60 TEST_FILTER "-*DISABLED_*"
    PROPERTIES ENVIRONMENT "INSTALLER_SOURCE_DIR=${CMAKE_SOURCE_DIR};INSTALLER_BINARY_DIR=${CMAKE_BINARY_DIR}")
  # The "threaded" label (cmake/ThreadedLabels.cmake) goes on once every test list is
  # known: the include is deferred to the end of the tests folder.
  get_property(labelled GLOBAL PROPERTY INSTALLER_THREADED_LABELS)
  if(NOT labelled)
    set_property(GLOBAL PROPERTY INSTALLER_THREADED_LABELS ON)
    cmake_language(DEFER CALL set_property DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES
                   ${CMAKE_SOURCE_DIR}/cmake/ThreadedLabels.cmake)
  endif()
endfunction()

# installer_tests_need(<target>...): every test executable depends on these
# targets (programs the tests start). Test targets exist only once tests/ has
# been read, so the dependencies are added by one call deferred to the end.
function(installer_tests_need)
  set_property(GLOBAL APPEND PROPERTY INSTALLER_TEST_NEEDS ${ARGN})
endfunction()

function(installer_add_test_needs)
  if(NOT TARGET test_support)
    return()
  endif()
  get_property(needs GLOBAL PROPERTY INSTALLER_TEST_NEEDS)
  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR}/tests PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t ${targets})
    get_target_property(kind ${t} TYPE)
    if(t MATCHES "^test_" AND kind STREQUAL "EXECUTABLE" AND needs)
      add_dependencies(${t} ${needs})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL installer_add_test_needs)
