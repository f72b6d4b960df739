# Warnings, sanitizers and the helpers that every subsystem folder uses.

add_compile_options(-Wall -Wextra)
if(TALVO_WERROR)
  add_compile_options(-Werror)
endif()

if(TALVO_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(TALVO_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TALVO_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TALVO_SANITIZE must be empty, 'address' or 'thread'")
endif()

# Every folder below core/, tests/ and bench/ with a CMakeLists.txt is one subsystem.
function(talvo_add_subsystems)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# talvo_test(NAME SOURCES a.cpp b.cpp LIBS lib... [LABELS l...] [QT])
# QT gives the test a QCoreApplication main; otherwise gtest_main.
# Label "tsan" marks tests that the ThreadSanitizer run builds and runs.
function(talvo_test name)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(T_QT)
    target_link_libraries(${name} PRIVATE talvo_test_support GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  include(GoogleTest)
  # An empty LABELS value would swallow the next key, so labels go in only when there are some.
  # GoogleTest reports a failed suite set-up by skipping every test in the suite, which
  # ctest would count as skipped, not failed. No test skips on purpose, so the skip
  # pattern is one that no output contains, and the failing exit status stands.
  set(properties TIMEOUT 300 SKIP_REGULAR_EXPRESSION "talvo-no-test-skips")
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
  if("tsan" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY TALVO_TSAN_TESTS ${name})
  endif()
endfunction()

# talvo_bench(NAME SOURCES a.cpp LIBS lib...)
function(talvo_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE benchmark::benchmark_main ${B_LIBS})
  set_property(GLOBAL APPEND PROPERTY TALVO_BENCHMARKS ${name})
endfunction()
