# Helpers shared by every folder.

# qv_test(NAME SOURCES a.cpp b.cpp LIBS x y)
# A GoogleTest program whose cases CTest lists one by one. Tests run with
# QV_SOURCE_DIR, QV_CORPUS_DIR and QV_BIN_DIR in their environment.
function(qv_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    INSTALL_RPATH "$ORIGIN/../bin")
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    QV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QV_CORPUS_DIR="${CMAKE_SOURCE_DIR}/../shared/corpus"
    QV_BIN_DIR="${QV_BIN_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QV_BIN_DIR=${QV_BIN_DIR};QV_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# qv_subdirs(): adds every direct subfolder that has a CMakeLists.txt.
macro(qv_subdirs)
  file(GLOB _qv_children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _qv_children)
  foreach(_child ${_qv_children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()

# qv_fuzz(NAME SOURCES a.cpp LIBS x): a libFuzzer target when QV_FUZZ is on
# (clang); otherwise a plain program that feeds it every file of
# regressions/ beside its CMakeLists.txt, registered as a test, so found faults stay fixed.
function(qv_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(QV_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  else()
    add_executable(${name} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/standalone_main.cpp)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz
    INSTALL_RPATH "$ORIGIN/../bin")
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  if(NOT QV_FUZZ AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/regressions)
    add_test(NAME ${name}.regressions COMMAND ${name} ${CMAKE_CURRENT_SOURCE_DIR}/regressions)
  endif()
endfunction()
